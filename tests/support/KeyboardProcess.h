#pragma once
// quillon-keyboard on the JACK server the environment names, started and
// stopped by a test; what it prints goes to a log file the test can read.
#include "TempFolder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace quillon::testing {

class KeyboardProcess {
public:
    // extraArguments follow --api jack --name NAME on its command line.
    KeyboardProcess(std::string name, std::filesystem::path log, std::vector<std::string> extraArguments = {})
        : m_name(std::move(name)), m_log(std::move(log)), m_extraArguments(std::move(extraArguments))
    {
    }
    ~KeyboardProcess() { stop(); }
    KeyboardProcess(const KeyboardProcess&) = delete;
    KeyboardProcess& operator=(const KeyboardProcess&) = delete;

    // True once it says it is listening.
    bool start()
    {
        const std::string binary = std::string(QUILLON_BINARY_DIR) + "/src/cli/quillon-keyboard";
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, m_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&files, STDOUT_FILENO, STDERR_FILENO);
        std::vector<std::string> args{binary, "--api", "jack", "--name", m_name};
        args.insert(args.end(), m_extraArguments.begin(), m_extraArguments.end());
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int error = posix_spawn(&m_pid, binary.c_str(), &files, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&files);
        if (error != 0) {
            m_pid = -1;
            return false;
        }
        for (int i = 0; i < 100; ++i) {
            if (log().find("listening") != std::string::npos)
                return true;
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // True when it ended by the signal as it should (exit status 0).
    bool stop()
    {
        if (m_pid <= 0)
            return true;
        kill(m_pid, SIGTERM);
        int status = 0;
        const bool ended = waitpid(m_pid, &status, 0) == m_pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        m_pid = -1;
        return ended;
    }

    std::string log() const { return readText(m_log); }

private:
    std::string m_name;
    std::filesystem::path m_log;
    std::vector<std::string> m_extraArguments;
    pid_t m_pid = -1;
};

} // namespace quillon::testing
