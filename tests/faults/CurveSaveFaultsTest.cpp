// Saving a curve that cannot or must not be written: a read-only folder, a
// write that stops half way, broken key-points. The old file stays whole and nothing half-written is left. The
// tests run as root, so the read-only case first drops root's overrides in a child.
#include "curve/core/CurveFile.h"
#include "curve/core/Presets.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <set>
#include <string>

using namespace quillon::curve;
using quillon::testing::readBytes;

namespace {

StoredCurve curveFromPreset(std::size_t index)
{
    VelocityCurve curve;
    curve.setKeyPoints(presetCurves().at(index).points);
    curve.computeTable();
    return storedCurveOf(curve);
}

// Clears the capabilities that let root ignore file permissions; true when it worked.
bool dropFileOverrides()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        data[capability / 32].effective &= ~(1u << (capability % 32));
    }
    return syscall(SYS_capset, &header, data) == 0;
}

// Mine.crv holds preset 1; every test tries to replace it with preset 4.
class CurveSaveFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(writeCurveFile(file, curveFromPreset(1)).ok());
        before = readBytes(file);
    }
    // What the folder holds besides the curve.
    std::set<std::string> leftovers() const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
            if (entry.path() != file)
                names.insert(entry.path().filename().string());
        return names;
    }
    void expectOldFileWhole() const
    {
        EXPECT_EQ(readBytes(file), before);
        EXPECT_TRUE(leftovers().empty()) << "nothing half-written is left";
    }

    quillon::testing::TempFolder temp;
    const std::filesystem::path file = temp.path() / "Mine.crv";
    std::vector<std::uint8_t> before;
    const StoredCurve replacement = curveFromPreset(4);
};

TEST_F(CurveSaveFaults, ReadOnlyFolderKeepsTheOldFileAndSaysWhy)
{
    ASSERT_EQ(::chmod(temp.path().c_str(), 0555), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Exit codes: 0 refused as it should be, 1 saved anyway, 2 cannot drop privileges.
        if (::geteuid() == 0 && !dropFileOverrides())
            ::_exit(2);
        const auto saved = writeCurveFile(file, replacement);
        const bool namesCause = !saved.ok() && saved.reason().find("Permission denied") != std::string::npos;
        ::_exit(saved.ok() ? 1 : (namesCause ? 0 : 3));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::chmod(temp.path().c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "could not give up root's permission override";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: saved into a read-only folder; 3: failure without its cause";
    expectOldFileWhole();
}

TEST_F(CurveSaveFaults, BrokenKeyPointsOrAWriteStoppingHalfWayKeepTheOldFile)
{
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
