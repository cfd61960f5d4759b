// The velocity monitor in the curve editor: played keys are counted and the
// last one marked on the new-velocity axis where the present curve puts them.
#include "EditorHarness.h"

#include "base/core/Messages.h"
#include "curve/core/Presets.h"
#include "curve/core/VelocityMonitor.h"

#include <memory>

using quillon::testing::EditorHarness;
using quillon::testing::FakeBackend;
namespace midi = quillon::midi;
namespace curve = quillon::curve;

namespace {

const QColor kLatest(255, 140, 0);

// The editor's rig with a played keyboard as its third backend. Its one input
// port can be held by one listener at a time, as a port another program has open.
struct Rig : EditorHarness {
    Rig()
        : EditorHarness(quillon::testing::backendsOf(
              std::make_unique<FakeBackend>("Played", std::vector<std::string>{}, std::vector<std::string>{"keys"}))),
          keys(&backend<FakeBackend>(2))
    {
        keys->exclusive = true;
    }
    void clickMonitor() const { QTest::mouseClick(&editor->monitorBox(), Qt::LeftButton); }
    bool held() const { return keys->inputHeldElsewhere; }
    midi::PortChoice port() const { return midi::PortChoice::of(keys->ref(0, "keys")); }

    FakeBackend* keys;
};

int heightOf(int velocity) { return (127 - velocity) * 3; }

} // namespace

class CurveMonitorTest : public QObject {
    Q_OBJECT
private slots:
    // No usable input is told and leaves the box unchecked; played keys are counted and
    // the last one marked where the curve shown puts it; unchecking or closing the window
    // releases the input it opened.
    void theMonitorOpensOnlyAFreeInputMarksKeysAndReleasesIt()
    {
        Rig rig;
        rig.session.inputChoice = midi::PortChoice::notChosen();
        auto& editor = rig.open();
        rig.clickMonitor();
        QVERIFY(!editor.monitorBox().isChecked());
        QVERIFY(!editor.monitorInputOpen());
        QCOMPARE(rig.messages.messages().back().text, std::string(quillon::text::kInputNotOpened));

        // A port another program holds cannot be opened; once it is free, the next click opens it.
        auto holder = rig.midi->openInput(rig.port(), [](std::uint32_t) {});
        QVERIFY(holder != nullptr);
        rig.session.inputChoice = rig.port();
        rig.clickMonitor();
        QVERIFY(!editor.monitorBox().isChecked());
        QCOMPARE(rig.messages.messages().size(), std::size_t(2));
        QCOMPARE(rig.messages.messages().back().text, std::string(quillon::text::kNoInputDevices));
        holder->close();
        rig.clickPreset("Hard1.crv");
        rig.clickButton("Load");
        rig.clickMonitor();
        QVERIFY(editor.monitorBox().isChecked() && rig.held());
        // A released note is not a key. The last key (40) lands where Hard1 puts it, not at 40
        // (the mapping is VelocityMonitorTest's; here the window draws it with the curve it shows).
        rig.keys->play({100, 0, 40});
        QTRY_COMPARE(editor.velocityMonitor().count(), std::size_t(2));
        const auto table = curve::computeCurveTable(curve::presetCurves()[4].points);
        QVERIFY(table[40] > 60);
        QTRY_COMPARE(editor.canvas().image().pixelColor(8, heightOf(table[40])), kLatest); // drawn a little later
        QVERIFY(editor.canvas().image().pixelColor(8, heightOf(40)) != kLatest);

        rig.clickMonitor();
        QVERIFY(!editor.monitorBox().isChecked());
        QVERIFY(!editor.monitorInputOpen());
        QTRY_VERIFY(!rig.held());

        // Closing the window (as Exit does) frees a port only one program may hold,
        // so the Send File window opened next can listen on it.
        rig.clickMonitor();
        QVERIFY(rig.held());
        rig.clickButton("Exit");
        QVERIFY(!editor.isVisible());
        QTRY_VERIFY(!rig.held());
        auto next = rig.midi->openInput(rig.port(), [](std::uint32_t) {});
        QVERIFY(next != nullptr);
        next->close();

        // A window destroyed while monitoring lets go of the input too, also with keys on their way.
        auto& again = rig.open();
        QTest::mouseClick(&again.monitorBox(), Qt::LeftButton);
        QVERIFY(rig.held());
        rig.keys->play({70});
        rig.editor.reset();
        QTRY_VERIFY(!rig.held());
        QCoreApplication::processEvents();
    }
};

QUILLON_QTEST(CurveMonitorTest)
#include "CurveMonitorTest.moc"
