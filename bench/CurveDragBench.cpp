// Time of one drag step in the curve editor: the mouse move reaches the
// window, the dragged key-point moves, the working table (and one per shown
// kept curve) is recomputed and the whole drawing area is rendered off-screen.
// A second figure adds the copy of the rendered image to the window.
// Baseline: computing one table alone, measured in the same run.
//
// Prints median and 99th percentile per figure, as report rows
// "| figure | value | unit | ratio |".
#include "BenchReport.h"

#include "curve/core/VelocityCurve.h"
#include "curve/widgets/CurveCanvas.h"
#include "curve/widgets/CurveEditor.h"
#include "session/Session.h"
#include "ui/MessageService.h"

#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Processor time of this thread, in microseconds: what a step costs even when
// the machine is busy with other work and the wall clock runs on meanwhile.
double threadMicros()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

struct Spread {
    double median = 0;
    double p99 = 0;
};

struct Timing {
    Spread wall;
    Spread cpu;
};

Spread spreadOf(std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    return {micros[micros.size() / 2], micros[static_cast<std::size_t>(static_cast<double>(micros.size()) * 0.99)]};
}

Timing measure(int steps, const std::function<void(int)>& step)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    wall.reserve(static_cast<std::size_t>(steps));
    cpu.reserve(static_cast<std::size_t>(steps));
    for (int i = 0; i < 200; ++i) // warm-up
        step(i);
    for (int i = 0; i < steps; ++i) {
        const double cpuStart = threadMicros();
        const auto start = Clock::now();
        step(i);
        wall.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        cpu.push_back(threadMicros() - cpuStart);
    }
    return {spreadOf(std::move(wall)), spreadOf(std::move(cpu))};
}

void row(const std::string& figure, double micros, double baselineMicros)
{
    quillon::bench::reportRow(figure, micros, "us", baselineMicros);
}

// Each figure against the same figure of the baseline.
void rows(const std::string& name, const Timing& timing, const Timing& baseline)
{
    row(name + ", median", timing.wall.median, baseline.wall.median);
    row(name + ", p99", timing.wall.p99, baseline.wall.p99);
    row(name + ", thread CPU time, median", timing.cpu.median, baseline.cpu.median);
    row(name + ", thread CPU time, p99", timing.cpu.p99, baseline.cpu.p99);
}

void sendMouse(QWidget& target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(at), target.mapToGlobal(QPointF(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
}

// Moves key-point 3 up and down its column, one pixel row per step.
QPoint dragPoint(int step)
{
    const int phase = step % 700;
    const int y = phase < 350 ? 10 + phase : 360 - (phase - 350);
    return {58 * 4 + (step % 3), y};
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    constexpr int kSteps = 5000;

    quillon::ui::RecordingMessageService messages;
    quillon::session::Session session(nullptr, messages);
    quillon::curve::CurveEditor editor(session);
    editor.realTimeBox().setChecked(false);
    editor.show();
    QApplication::processEvents();
    auto& canvas = editor.canvas();

    const auto points = quillon::curve::defaultKeyPoints();
    volatile std::int32_t sink = 0;
    const Timing baseline = measure(kSteps, [&](int i) {
        auto moved = points;
        moved.y[3] = 20 + i % 80;
        sink = sink + quillon::curve::computeCurveTable(moved)[64];
    });

    sendMouse(canvas, QEvent::MouseButtonPress, QPoint(58 * 4, 100), Qt::LeftButton);
    const Timing dragStep =
        measure(kSteps, [&](int i) { sendMouse(canvas, QEvent::MouseMove, dragPoint(i), Qt::LeftButton); });
    const Timing withCopy = measure(kSteps, [&](int i) {
        sendMouse(canvas, QEvent::MouseMove, dragPoint(i), Qt::LeftButton);
        canvas.repaint();
    });
    sendMouse(canvas, QEvent::MouseButtonRelease, QPoint(58 * 4, 100), Qt::NoButton);

    // The same with all three kept curves shown: four tables per step.
    for (std::size_t slot = 0; slot < 3; ++slot) {
        editor.keepCurve(slot);
        editor.showCurve(slot);
    }
    sendMouse(canvas, QEvent::MouseButtonPress, QPoint(58 * 4, 100), Qt::LeftButton);
    const Timing threeKept = measure(kSteps, [&](int i) {
        sendMouse(canvas, QEvent::MouseMove, dragPoint(i), Qt::LeftButton);
        canvas.repaint();
    });
    sendMouse(canvas, QEvent::MouseButtonRelease, QPoint(58 * 4, 100), Qt::NoButton);

    std::printf("curve drag step, %d steps each; ratio = time / the same figure of one table computation\n", kSteps);
    rows("one table computation (baseline)", baseline, baseline);
    rows("curve drag step (recompute + off-screen render)", dragStep, baseline);
    rows("curve drag step + copy to window", withCopy, baseline);
    rows("curve drag step + copy, three kept curves shown", threeKept, baseline);
    std::fflush(stdout);
    return editor.state().working().keyPoints().x[3] == 58 ? 0 : 1;
}
