#include "curve/core/CurveFile.h"
#include "curve/core/Presets.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <iterator>

namespace quillon::curve {
namespace {

using quillon::testing::TempFolder;
using Bytes = std::vector<std::uint8_t>;

Bytes readBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::filesystem::path& file, const Bytes& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

StoredCurve hard2()
{
    VelocityCurve curve;
    curve.setKeyPoints(presetCurves()[*findPreset("Hard2.crv")].points);
    curve.computeTable();
    return storedCurveOf(curve);
}

void putLittleEndian(Bytes& bytes, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

TEST(CurveFileFormat, FieldsSitWhereTheLayoutSays)
{
    StoredCurve curve = hard2();
    curve.table[1] = 0x01020304; // a stored table is taken as it is
    curve.table[127] = -2;
    const Bytes bytes = encodeCurveFile(curve);
    ASSERT_EQ(bytes.size(), kCurveFileSize);
    EXPECT_EQ((Bytes{bytes.begin() + 4, bytes.begin() + 8}), (Bytes{0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ((Bytes{bytes.begin() + 508, bytes.begin() + 512}), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(bytes[0x200 + 4], 5);  // keyX[1] of Hard2
    EXPECT_EQ(bytes[0x218], 127);    // keyX[6]
    EXPECT_EQ(bytes[0x21C + 4], 34); // keyY[1]
    EXPECT_EQ(bytes[0x234], 127);    // keyY[6]

    const Result<StoredCurve> decoded = decodeCurveFile(bytes);
    ASSERT_TRUE(decoded) << decoded.reason();
    EXPECT_EQ(*decoded, curve);
}

TEST(CurveFileFormat, RoundTripThroughTheDiskIsByteIdentical)
{
    TempFolder temp;
    const auto file = temp.path() / "Mine.crv";
    ASSERT_TRUE(writeCurveFile(file, hard2()));
    const Bytes written = readBytes(file);
    EXPECT_EQ(written.size(), kCurveFileSize);

    const Result<StoredCurve> read = readCurveFile(file);
    ASSERT_TRUE(read) << read.reason();
    EXPECT_EQ(*read, hard2());

    const auto copy = temp.path() / "Copy.crv";
    ASSERT_TRUE(writeCurveFile(copy, *read));
    EXPECT_EQ(readBytes(copy), written);
    EXPECT_FALSE(std::filesystem::exists(temporaryPathFor(file)));
}

TEST(CurveFileFormat, LongerFileIsReadAsItsFirst568Bytes)
{
    TempFolder temp;
    Bytes bytes = encodeCurveFile(hard2());
    bytes.insert(bytes.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    const auto file = temp.path() / "long.crv";
    writeBytes(file, bytes);
    const Result<StoredCurve> read = readCurveFile(file);
    ASSERT_TRUE(read) << read.reason();
    EXPECT_EQ(*read, hard2());
}

class RefusedCurveFile : public ::testing::Test {
protected:
    // A curve the caller already has; a refused load must not touch it.
    void expectRefusedAndUntouched(const Bytes& bytes, const std::string& reasonPart)
    {
        const auto file = temp.path() / "bad.crv";
        writeBytes(file, bytes);
        VelocityCurve curve;
        curve.setKeyPoints(presetCurves()[0].points);
        curve.computeTable();
        const KeyPoints pointsBefore = curve.keyPoints();
        const Table tableBefore = curve.table();

        const Status status = loadCurveFile(file, curve);
        EXPECT_FALSE(status);
        if (!status) {
            EXPECT_NE(status.reason().find(reasonPart), std::string::npos) << status.reason();
        }
        EXPECT_EQ(curve.keyPoints(), pointsBefore);
        EXPECT_EQ(curve.table(), tableBefore);
    }

    TempFolder temp;
};

TEST_F(RefusedCurveFile, ShorterThan568Bytes)
{
    Bytes bytes = encodeCurveFile(hard2());
    bytes.resize(567);
    expectRefusedAndUntouched(bytes, "567");
    expectRefusedAndUntouched({}, "568");
}

TEST_F(RefusedCurveFile, KeyPointsBreakingTheInvariants)
{
    const Bytes good = encodeCurveFile(hard2());
    Bytes bytes = good;
    putLittleEndian(bytes, kKeyXOffset, 3); // keyX[0] not 0
    expectRefusedAndUntouched(bytes, "velocity 0");

    bytes = good;
    putLittleEndian(bytes, kKeyXOffset + 6 * 4, 200); // keyX[6] beyond 127
    expectRefusedAndUntouched(bytes, "127");

    bytes = good;
    putLittleEndian(bytes, kKeyXOffset + 2 * 4, 40); // keyX[2] right of keyX[3] = 32
    expectRefusedAndUntouched(bytes, "key-point 3");

    bytes = good;
    putLittleEndian(bytes, kKeyYOffset + 4 * 4, static_cast<std::uint32_t>(-5)); // keyY[4] negative
    expectRefusedAndUntouched(bytes, "-5");
}

TEST_F(RefusedCurveFile, MissingFile)
{
    VelocityCurve curve;
    const Status status = loadCurveFile(temp.path() / "absent.crv", curve);
    EXPECT_FALSE(status);
    EXPECT_EQ(curve.keyPoints(), defaultKeyPoints());
}

TEST(CurveFileLoad, AcceptedFileReplacesKeyPointsAndTable)
{
    TempFolder temp;
    StoredCurve stored = hard2();
    stored.table[5] = 77; // differs from what the key-points would give
    ASSERT_TRUE(writeCurveFile(temp.path() / "h.crv", stored));
    VelocityCurve curve;
    ASSERT_TRUE(loadCurveFile(temp.path() / "h.crv", curve));
    EXPECT_EQ(curve.keyPoints(), stored.points);
    EXPECT_EQ(curve.table(), stored.table);
}

class CurveSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        target = temp.path() / "Keep.crv";
        StoredCurve old = hard2();
        ASSERT_TRUE(writeCurveFile(target, old));
        oldBytes = readBytes(target);
        replacement = storedCurveOf(VelocityCurve{});
    }

    TempFolder temp;
    std::filesystem::path target;
    Bytes oldBytes;
    StoredCurve replacement;
};

TEST_F(CurveSave, ReplacesTheOldFileWhenAllGoesWell)
{
    ASSERT_TRUE(writeCurveFile(target, replacement));
    EXPECT_EQ(readBytes(target), encodeCurveFile(replacement));
    EXPECT_NE(readBytes(target), oldBytes);
    EXPECT_FALSE(std::filesystem::exists(temporaryPathFor(target)));
}

TEST_F(CurveSave, KeepsTheOldFileWhenTheTemporaryCannotBeCreated)
{
    // A folder in the temporary file's place cannot be opened for writing, not even by root.
    std::filesystem::create_directory(temporaryPathFor(target));
    const Status status = writeCurveFile(target, replacement);
    EXPECT_FALSE(status);
    EXPECT_EQ(readBytes(target), oldBytes);
}

TEST_F(CurveSave, KeepsTheOldFileWhenWritingStopsHalfway)
{
    // A file size limit makes the write itself fail after 100 bytes, for root as well.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const Status status = writeCurveFile(target, replacement);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(status);
    EXPECT_EQ(readBytes(target), oldBytes);
    EXPECT_FALSE(std::filesystem::exists(temporaryPathFor(target))) << "the half-written file is cleaned up";
}

TEST_F(CurveSave, RefusesBrokenKeyPointsAndKeepsTheOldFile)
{
    replacement.points.x[3] = replacement.points.x[2];
    EXPECT_FALSE(writeCurveFile(target, replacement));
    EXPECT_EQ(readBytes(target), oldBytes);
}

TEST_F(CurveSave, FailsCleanlyIntoAMissingFolder)
{
    const Status status = writeCurveFile(temp.path() / "no-such-folder" / "x.crv", replacement);
    EXPECT_FALSE(status);
    EXPECT_NE(status.reason().find("no-such-folder"), std::string::npos) << status.reason();
}

} // namespace
} // namespace quillon::curve
