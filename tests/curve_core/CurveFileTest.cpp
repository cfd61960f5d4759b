#include "curve/core/CurveFile.h"
#include "curve/core/Presets.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

namespace quillon::curve {
namespace {

using quillon::testing::TempFolder;
using quillon::testing::writeBytes;
using Bytes = std::vector<std::uint8_t>;

StoredCurve hard2()
{
    VelocityCurve curve;
    curve.setKeyPoints(presetCurves()[*findPreset("Hard2.crv")].points);
    curve.computeTable();
    return storedCurveOf(curve);
}

// A stored table is kept as it is, even where the key-points would give another.
TEST(CurveFileFormat, FieldsSitWhereTheLayoutSaysAndLongerFilesReadTheirStart)
{
    StoredCurve curve = hard2();
    curve.table[1] = 0x01020304;
    curve.table[127] = -2;
    const Bytes bytes = encodeCurveFile(curve);
    ASSERT_EQ(bytes.size(), kCurveFileSize);
    EXPECT_EQ((Bytes{bytes.begin() + 4, bytes.begin() + 8}), (Bytes{0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ((Bytes{bytes.begin() + 508, bytes.begin() + 512}), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(bytes[0x204], 5);   // keyX[1]
    EXPECT_EQ(bytes[0x218], 127); // keyX[6]
    EXPECT_EQ(bytes[0x220], 34);  // keyY[1]
    EXPECT_EQ(bytes[0x234], 127); // keyY[6]
    // Read back (whole files are the save-fault suite's), also from a longer file's start.
    Bytes longer = bytes;
    longer.insert(longer.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    TempFolder temp;
    writeBytes(temp.path() / "long.crv", longer);
    VelocityCurve loaded;
    ASSERT_TRUE(loadCurveFile(temp.path() / "long.crv", loaded));
    EXPECT_EQ(storedCurveOf(loaded), curve);
}

// A refused load must leave the curve the caller already has exactly as it was.
TEST(CurveFileRefusal, ShortFilesBrokenKeyPointsAndAbsentFilesLeaveTheCurveUnchanged)
{
    TempFolder temp;
    const Bytes good = encodeCurveFile(hard2());
    Bytes broken = good;
    broken.at(kKeyXOffset + 8) = 40; // keyX[3], little-endian: right of keyX[3] = 32
    const std::tuple<std::string, std::optional<Bytes>, std::string> cases[] = {
        {"short.crv", Bytes(good.begin(), good.begin() + 567), "567"},
        {"broken.crv", broken, "key-point 3"},
        {"absent.crv", std::nullopt, ""},
    };
    for (const auto& [name, bytes, reasonPart] : cases) {
        if (bytes)
            writeBytes(temp.path() / name, *bytes);
        VelocityCurve curve;
        curve.setKeyPoints(presetCurves()[0].points);
        curve.computeTable();
        const StoredCurve before = storedCurveOf(curve);
        const Status status = loadCurveFile(temp.path() / name, curve);
        ASSERT_FALSE(status) << name;
        EXPECT_NE(status.reason().find(reasonPart), std::string::npos) << status.reason();
        EXPECT_EQ(storedCurveOf(curve), before) << name;
    }
}

} // namespace
} // namespace quillon::curve
