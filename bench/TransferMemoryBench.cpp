// Memory high-water mark (VmHWM) of a 28-song transfer (64 KiB songs) to the
// built-in keyboard through the Send File window's code path, against the
// high-water mark of the same process set up the same way without sending:
// Qt application, MIDI system with the built-in keyboard, songs checked,
// session and Send File window built. Each figure comes from a process of its
// own (this program again, with --child), so no run's peak can hide another's;
// 3 runs of each, alternating, medians reported. The built-in keyboard lives
// in the process and keeps every song it receives (1.75 MiB in all), so that
// storage is part of the transfer's figure, as it is in the program.
#include "BenchReport.h"
#include "SongTransfer.h"

#include "session/Session.h"
#include "transfer/core/FileAccess.h"
#include "transfer/core/SongCheck.h"
#include "transfer/widgets/SendFileDialog.h"
#include "ui/MessageService.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

using namespace quillon;
using namespace quillon::bench;

namespace {

constexpr int kRuns = 3;

// The peak resident set of this process so far, in KiB.
long highWaterKib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // KiB on Linux
}

std::vector<std::string> songNames()
{
    std::vector<std::string> names;
    for (int i = 0; i < kSongs; ++i)
        names.push_back("song" + std::to_string(i + 1) + ".mid");
    return names;
}

// One measurement: set up, send (or not), print the high-water mark.
int child(int argc, char** argv, bool send, const char* folder)
{
    QApplication application(argc, argv);
    const DataFolders folders{std::filesystem::path(folder)};
    const auto preparation = transfer::prepareSongs(transfer::DiskFiles(), folders.songFolder(), songNames());
    if (!preparation.ok())
        return 2;
    auto system = keyboardSystem();
    const Route route = builtInRoute(*system);
    if (send) {
        const Measurement m = throughWindow(folders, preparation.list, route);
        if (!m.complete)
            return 3;
    } else {
        ui::RecordingMessageService messages;
        session::Session session(route.system, messages, folders);
        session.outputChoice = route.output;
        session.inputChoice = route.input;
        session.transfers = preparation.list;
        transfer::SendFileDialog window(session);
        QCoreApplication::processEvents();
    }
    std::printf("hwm-kib %ld\n", highWaterKib());
    return 0;
}

std::optional<double> highWaterOfChild(const char* mode, const QString& folder)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), QLatin1String(mode), folder});
    if (!process.waitForFinished(180000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::printf("child %s failed (exit %d):\n%s\n", mode, process.exitCode(),
                    process.readAllStandardError().constData());
        return std::nullopt;
    }
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("hwm-kib "))
            return line.mid(8).toDouble() / 1024.0;
    }
    return std::nullopt;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int parent(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTemporaryDir directory;
    const DataFolders folders(std::filesystem::path(directory.path().toStdString()));
    writeSongs(folders);
    const std::string figure = "28-song transfer (64 KiB each) to the built-in keyboard, memory high-water mark";
    std::vector<double> baseline, transfer;
    for (int run = 0; run < kRuns; ++run) {
        const auto idle = highWaterOfChild("set-up-only", directory.path());
        const auto sent = highWaterOfChild("transfer", directory.path());
        if (!idle || !sent) {
            reportMissing(figure, "MiB", "a child process failed");
            return 1;
        }
        baseline.push_back(*idle);
        transfer.push_back(*sent);
    }
    std::printf("VmHWM per run, set-up only / transfer (MiB):");
    for (int run = 0; run < kRuns; ++run)
        std::printf(" %.1f/%.1f", baseline[static_cast<std::size_t>(run)], transfer[static_cast<std::size_t>(run)]);
    std::printf("\n");
    const std::string runs = ", median of " + std::to_string(kRuns) + " processes";
    reportRow("same process set-up without the transfer, memory high-water mark (baseline)" + runs, median(baseline),
              "MiB", median(baseline));
    reportRow(figure + runs, median(transfer), "MiB", median(baseline));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv, std::strcmp(argv[2], "transfer") == 0, argv[3]);
    return parent(argc, argv);
}
