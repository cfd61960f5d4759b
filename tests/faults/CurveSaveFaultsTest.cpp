// Saving a curve when the data folder will not take it: a folder the process
// may not write to, and a disk with no space left. The old file stays whole,
// the failure names its cause, and nothing half-written is left beside it.
// The tests run as root, which writes anywhere, so the read-only case drops
// the process's override capabilities in a child first.
#include "curve/core/CurveFile.h"
#include "curve/core/Presets.h"

#include "../app_core/TempFolder.h"

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

using namespace quillon::curve;
using quillon::testing::TempFolder;

namespace {

std::vector<char> bytesOf(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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

} // namespace

TEST(CurveSaveFaults, ReadOnlyFolderKeepsTheOldFileAndSaysWhy)
{
    TempFolder temp;
    const auto file = temp.path() / "Mine.crv";
    ASSERT_TRUE(writeCurveFile(file, curveFromPreset(1)).ok());
    const auto before = bytesOf(file);
    ASSERT_EQ(::chmod(temp.path().c_str(), 0555), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Exit codes: 0 refused as it should be, 1 saved anyway, 2 cannot drop privileges.
        if (::geteuid() == 0 && !dropFileOverrides())
            ::_exit(2);
        const auto saved = writeCurveFile(file, curveFromPreset(2));
        const bool namesCause = !saved.ok() && saved.reason().find("Permission denied") != std::string::npos;
        ::_exit(saved.ok() ? 1 : (namesCause ? 0 : 3));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::chmod(temp.path().c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "could not give up root's permission override";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: saved into a read-only folder; 3: failure without its cause";

    EXPECT_EQ(bytesOf(file), before);
    EXPECT_FALSE(std::filesystem::exists(temporaryPathFor(file)));
    const auto reread = readCurveFile(file);
    ASSERT_TRUE(reread.ok());
    EXPECT_EQ(*reread, curveFromPreset(1));
}

TEST(CurveSaveFaults, FullDiskKeepsTheOldFileAndTheNextSaveStillWorks)
{
    TempFolder temp;
    const auto file = temp.path() / "Mine.crv";
    ASSERT_TRUE(writeCurveFile(file, curveFromPreset(3)).ok());
    const auto before = bytesOf(file);

    // Writes meant for the temporary land on a device that is always full.
    std::filesystem::create_symlink("/dev/full", temporaryPathFor(file));
    const auto saved = writeCurveFile(file, curveFromPreset(4));
    ASSERT_FALSE(saved.ok());
    EXPECT_NE(saved.reason().find("No space left on device"), std::string::npos) << saved.reason();
    EXPECT_EQ(bytesOf(file), before);
    EXPECT_TRUE(std::filesystem::exists("/dev/full")) << "the failed save must not touch what the link pointed to";

    // Once space is back the save goes through and reads back exactly.
    std::error_code ignored;
    std::filesystem::remove(temporaryPathFor(file), ignored);
    ASSERT_TRUE(writeCurveFile(file, curveFromPreset(4)).ok());
    const auto reread = readCurveFile(file);
    ASSERT_TRUE(reread.ok());
    EXPECT_EQ(*reread, curveFromPreset(4));
}
