// Saving a curve that cannot or must not be written: a write that stops half
// way (the one replace function every save goes through), broken key-points.
// The old file stays whole and nothing half-written is left.
#include "curve/core/CurveFile.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <string>

using namespace quillon::curve;
using quillon::testing::readBytes;

namespace {

// Mine.crv holds the default curve; each save tries to replace it with one entry changed.
TEST(CurveSaveFaults, BrokenKeyPointsOrAWriteStoppingHalfWayKeepTheOldFile)
{
    const quillon::testing::TempFolder temp;
    const std::filesystem::path file = temp.path() / "Mine.crv";
    ASSERT_TRUE(writeCurveFile(file, storedCurveOf(VelocityCurve())).ok());
    const auto before = readBytes(file);
    const auto expectOldFileWhole = [&] {
        EXPECT_EQ(readBytes(file), before);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.path()), {}), 1) << "something half-written";
    };
    StoredCurve replacement = storedCurveOf(VelocityCurve());
    replacement.table[5] = 99;
    StoredCurve broken = replacement;
    broken.points.x[3] = broken.points.x[2];
    EXPECT_FALSE(writeCurveFile(file, broken).ok());
    expectOldFileWhole();

    // A file size limit makes the write itself fail after 100 bytes, for root as well.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const auto status = writeCurveFile(file, replacement);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(status.ok());
    expectOldFileWhole();
}

} // namespace
