// Start-up of the main window to its first paint, built as src/app/main.cpp
// builds it (MIDI system, Session, MainWindow with its hooks, shown by exec),
// against a bare QWidget of the same size shown to its first paint, both on the
// offscreen platform. Every run is a fresh process (this program again, with
// --child), so each pays for loading Qt, its plugins and fonts as a real start
// does. After one discarded run of each (warm file cache) the two kinds
// alternate, 11 runs each; the medians are reported.
// Two figures per kind: from starting the process to the end of the first
// paint, and from the end of the QApplication constructor to the end of the
// first paint (the window's own share). The main window's child runs in the
// source folder, so it lists the demo files of Quillon/ as `make run` does.
#include "BenchReport.h"

#include "app/widgets/FileListWidget.h"
#include "app/widgets/Program.h"

#include <QApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>

namespace {

constexpr int kRuns = 11;

// CLOCK_MONOTONIC, the same in every process of the machine.
long long monotonicNanos()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Tells when the first paint of one window has ended. A paint pass draws every
// widget of the window and flushes it in one go, whether it runs inside an
// expose event or straight from show(); a call queued at its first paint event
// runs on the next turn of the event loop, once that pass is over.
class PaintWatchingApplication : public QApplication {
public:
    using QApplication::QApplication;

    void watch(const QWidget* window, std::function<void()> onFirstPaint)
    {
        m_window = window;
        m_onFirstPaint = std::move(onFirstPaint);
    }

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_onFirstPaint && !m_seen && event->type() == QEvent::Paint && receiver->isWidgetType() &&
            static_cast<QWidget*>(receiver)->window() == m_window) {
            m_seen = true;
            QMetaObject::invokeMethod(this, m_onFirstPaint, Qt::QueuedConnection);
        }
        return QApplication::notify(receiver, event);
    }

private:
    const QWidget* m_window = nullptr;
    std::function<void()> m_onFirstPaint;
    bool m_seen = false;
};

void printTimes(long long mainStarted, long long applicationBuilt)
{
    std::printf("main %lld\napplication %lld\npainted %lld\n", mainStarted, applicationBuilt, monotonicNanos());
    std::fflush(stdout);
}

int mainWindowChild(int argc, char** argv, long long mainStarted)
{
    PaintWatchingApplication application(argc, argv);
    const long long applicationBuilt = monotonicNanos();
    quillon::app::Program::setIdentity();
    quillon::app::Program program;
    quillon::app::MainWindow& window = program.mainWindow();

    bool painted = false;
    application.watch(&window, [&] {
        printTimes(mainStarted, applicationBuilt);
        painted = true;
        window.done(0);
    });
    QTimer::singleShot(std::chrono::seconds(20), &window, [&window] { window.done(1); });
    window.exec();
    std::string backends;
    for (const auto& name : program.session().midi()->backendNames())
        backends += " " + name;
    std::printf("size %dx%d\nbackends%s\nfiles %d\n", window.width(), window.height(), backends.c_str(),
                window.fileList().count());
    return painted ? 0 : 2;
}

int bareWidgetChild(int argc, char** argv, long long mainStarted, int width, int height)
{
    PaintWatchingApplication application(argc, argv);
    const long long applicationBuilt = monotonicNanos();
    QWidget widget;
    widget.resize(width, height);
    bool painted = false;
    application.watch(&widget, [&] {
        printTimes(mainStarted, applicationBuilt);
        painted = true;
        QCoreApplication::quit();
    });
    QTimer::singleShot(std::chrono::seconds(20), &application, &QCoreApplication::quit);
    widget.show();
    QApplication::exec();
    return painted ? 0 : 2;
}

struct Run {
    double fromStartMs = 0;       // process start to the end of the first paint
    double fromApplicationMs = 0; // end of the QApplication constructor to the end of the first paint
    QByteArray output;
};

std::optional<long long> valueAfter(const QByteArray& output, const char* key)
{
    for (const QByteArray& line : output.split('\n')) {
        if (line.startsWith(QByteArray(key) + ' '))
            return line.mid(static_cast<qsizetype>(std::strlen(key)) + 1).toLongLong();
    }
    return std::nullopt;
}

// withoutJack: the child looks for a JACK server that does not exist, as on a
// machine where none runs (the one the benchmark script started is running).
std::optional<Run> runChild(const QStringList& arguments, const QString& workingDirectory, bool withoutJack = false)
{
    QProcess child;
    if (withoutJack) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("JACK_DEFAULT_SERVER"),
                           QStringLiteral("quillon-no-server-%1").arg(QCoreApplication::applicationPid()));
        child.setProcessEnvironment(environment);
    }
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments(arguments);
    child.setWorkingDirectory(workingDirectory);
    const long long started = monotonicNanos();
    child.start();
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        std::printf("child %s did not paint (exit %d):\n%s\n", qPrintable(arguments.join(' ')), child.exitCode(),
                    child.readAllStandardError().constData());
        return std::nullopt;
    }
    Run run;
    run.output = child.readAllStandardOutput();
    const auto application = valueAfter(run.output, "application");
    const auto painted = valueAfter(run.output, "painted");
    if (!application || !painted)
        return std::nullopt;
    run.fromStartMs = static_cast<double>(*painted - started) / 1e6;
    run.fromApplicationMs = static_cast<double>(*painted - *application) / 1e6;
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int parent(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QString sourceFolder = QStringLiteral(QUILLON_SOURCE_DIR);
    const QStringList mainWindow = {QStringLiteral("--child"), QStringLiteral("main-window")};

    // The discarded first runs warm the file cache, and the main window's tells its size.
    const auto first = runChild(mainWindow, sourceFolder);
    if (!first) {
        quillon::bench::reportMissing("main window start-up to first paint", "ms", "the main window did not paint");
        return 1;
    }
    QByteArray size;
    for (const QByteArray& line : first->output.split('\n')) {
        if (line.startsWith("size ") || line.startsWith("backends") || line.startsWith("files "))
            std::printf("main window %s\n", line.constData());
        if (line.startsWith("size "))
            size = line.mid(5);
    }
    const QList<QByteArray> wh = size.split('x');
    if (wh.size() != 2) {
        quillon::bench::reportMissing("main window start-up to first paint", "ms", "the main window told no size");
        return 1;
    }
    const QStringList bare = {QStringLiteral("--child"), QStringLiteral("bare-widget"), QString::fromLatin1(wh[0]),
                              QString::fromLatin1(wh[1])};
    runChild(bare, sourceFolder);

    QProcess probe;
    probe.setStandardOutputFile(QProcess::nullDevice());
    probe.setStandardErrorFile(QProcess::nullDevice());
    probe.start(QStringLiteral("jack_lsp"), {});
    const bool jackRunning =
        probe.waitForFinished() && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
    std::vector<double> mainStart, mainWindowOnly, bareStart, bareWindowOnly, noJackStart;
    for (int i = 0; i < kRuns; ++i) {
        const auto windowRun = runChild(mainWindow, sourceFolder);
        const auto bareRun = runChild(bare, sourceFolder);
        const auto noJackRun = jackRunning ? runChild(mainWindow, sourceFolder, true) : windowRun;
        if (!windowRun || !bareRun || !noJackRun) {
            quillon::bench::reportMissing("main window start-up to first paint", "ms", "a child did not paint");
            return 1;
        }
        mainStart.push_back(windowRun->fromStartMs);
        mainWindowOnly.push_back(windowRun->fromApplicationMs);
        bareStart.push_back(bareRun->fromStartMs);
        bareWindowOnly.push_back(bareRun->fromApplicationMs);
        noJackStart.push_back(noJackRun->fromStartMs);
    }
    const std::string runs = ", median of " + std::to_string(kRuns);
    const std::string bareName = "bare QWidget " + size.toStdString();
    quillon::bench::reportRow(bareName + ", process start to first paint (baseline)" + runs, median(bareStart), "ms",
                              median(bareStart));
    quillon::bench::reportRow("main window start-up, process start to first paint" + runs, median(mainStart), "ms",
                              median(bareStart));
    quillon::bench::reportRow(bareName + ", QApplication built to first paint (baseline)" + runs,
                              median(bareWindowOnly), "ms", median(bareWindowOnly));
    quillon::bench::reportRow("main window start-up, QApplication built to first paint" + runs, median(mainWindowOnly),
                              "ms", median(bareWindowOnly));
    // Opening the program's JACK client waits for the server; the main window lists no port, so it must not.
    if (jackRunning)
        quillon::bench::reportRow("main window start-up, no JACK server (baseline of the next)" + runs,
                                  median(noJackStart), "ms", median(noJackStart));
    else
        quillon::bench::reportMissing("main window start-up with a JACK server running", "ms",
                                      "no JACK server running");
    if (jackRunning)
        quillon::bench::reportRow("main window start-up, JACK server running" + runs, median(mainStart), "ms",
                                  median(noJackStart));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const long long mainStarted = monotonicNanos();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
        if (std::strcmp(argv[2], "main-window") == 0)
            return mainWindowChild(argc, argv, mainStarted);
        if (std::strcmp(argv[2], "bare-widget") == 0 && argc == 5)
            return bareWidgetChild(argc, argv, mainStarted, std::atoi(argv[3]), std::atoi(argv[4]));
        return 64;
    }
    return parent(argc, argv);
}
