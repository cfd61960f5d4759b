#pragma once
// Runs the built quillon-cli as a user would, through the shell, and hands back
// what it printed and its exit status. Arguments are one shell string, so paths
// with spaces must be quoted by the caller (quoted()).
#include "TempFolder.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace quillon::testing {

struct CliRun {
    int status = -1; // the exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// A path as one shell word (paths holding a quote are not supported).
inline std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

// Runs `quillon-cli <arguments>`, inside `folder` when one is given. The output
// is captured in files of its own, so runs never see each other's output.
inline CliRun runCli(const std::string& arguments, const std::filesystem::path& folder = {})
{
    static int counter = 0;
    const std::filesystem::path capture =
        std::filesystem::temp_directory_path() /
        ("quillon-cli-run-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    const std::string out = capture.string() + ".out";
    const std::string err = capture.string() + ".err";
    std::string command =
        "'" QUILLON_BINARY_DIR "/src/cli/quillon-cli' " + arguments + " >'" + out + "' 2>'" + err + "'";
    if (!folder.empty())
        command = "cd '" + folder.string() + "' && " + command;
    const int raw = std::system(command.c_str());
    CliRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readText(out), readText(err)};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

} // namespace quillon::testing
