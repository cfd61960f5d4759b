// Sending curves: Real_time releases and undo steps, New and Default, the Send
// button with its pause, kept slots, stored files, every failure's message.
#include "EditorHarness.h"

#include "base/core/Messages.h"
#include "curve/core/Presets.h"
#include "ui/PercentBar.h"

using namespace quillon::curve;
using namespace quillon::testing;
using namespace quillon::ui;
using quillon::midi::SendResult;

namespace {

Table constantTable(std::int32_t value)
{
    Table table;
    table.fill(value);
    return table;
}

} // namespace

class CurveSendingTest : public QObject {
    Q_OBJECT
private slots:
    void init() { h = std::make_unique<EditorHarness>(); }
    void cleanup() { h.reset(); }

    void realTimeSendsOnEveryReleaseAndOnlyThen()
    {
        auto& editor = h->open();
        QVERIFY(editor.realTimeBox().isChecked());

        h->drag(QPoint(160, 200), QPoint(180, 90)); // key-point 2 to (45, 97)
        QCOMPARE(h->keyboard->messagesReceived(), std::size_t(1));
        QCOMPARE(*h->keyboard->curve(), asBytes(editor.state().working().table()));
        QCOMPARE(editor.progressBar().position(), 1);

        // Keys move key-point 1 (20, 20) as a drag: by 8 to one short of key-point 2 at 45, by 1 up; each sends.
        QTest::keyClick(&editor.canvas(), Qt::Key_PageDown);
        for (int press = 0; press < 4; ++press)
            QTest::keyClick(&editor.canvas(), Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(&editor.canvas(), Qt::Key_Up);
        QCOMPARE(editor.state().working().keyPoints().x[1], 44);
        QCOMPARE(editor.state().working().keyPoints().y[1], 21);
        QCOMPARE(*h->keyboard->curve(), asBytes(editor.state().working().table()));
        QTest::keyClick(&editor.canvas(), Qt::Key_F10, Qt::ShiftModifier); // the canvas's menu
        QCOMPARE(h->messages.menus().size(), std::size_t(1));
    }

    // New asks before sending the identity: No leaves the keyboard's curve alone.
    void newAndDefaultAskBeforeSendingTheIdentity()
    {
        auto& editor = h->open();
        editor.realTimeBox().setChecked(false);
        h->drag(QPoint(160, 200), QPoint(180, 90));
        h->messages.answerNext(MessageAnswer::No);
        h->clickButton("New");
        QCOMPARE(editor.state().working().keyPoints(), defaultKeyPoints());
        QCOMPARE(h->messages.messages().back().text, std::string(quillon::text::kSendDefaultCurveQuestion));
        QCOMPARE(h->keyboard->messagesReceived(), std::size_t(0));

        h->drag(QPoint(160, 200), QPoint(180, 90));
        h->messages.answerNext(MessageAnswer::Yes);
        h->clickButton("Default");
        QCOMPARE(*h->keyboard->curve(), asBytes(computeCurveTable(defaultKeyPoints())));
    }

    void failuresShowTheirMessagesAndLeaveTheBar()
    {
        const auto told = [](std::string_view title, std::string_view text, MessageIcon icon) {
            return std::vector<ShownMessage>{{std::string(title), std::string(text), icon, MessageButtons::Ok}};
        };
        const std::string_view app = quillon::text::kApplicationName;
        const struct {
            const char* name;
            bool chosen;
            bool opens;
            SendResult result;
            std::vector<ShownMessage> told; // after the question
        } cases[] = {
            {"not chosen", false, true, SendResult::Sent,
             told(quillon::text::kProgramTitle, quillon::text::kOutputNotOpened, MessageIcon::Stop)},
            {"open fails", true, false, SendResult::Sent,
             told(app, quillon::text::kCurveOpenFailed, MessageIcon::None)},
            {"send fails", true, true, SendResult::SendFailed,
             told(app, quillon::text::kSendFailed, MessageIcon::None)},
            // A header that cannot be prepared is not reported, and the bar still ends.
            {"prepare fails", true, true, SendResult::PrepareFailed, {}},
        };
        for (const auto& c : cases) {
            EditorHarness fresh;
            fresh.session.outputChoice = quillon::midi::PortChoice::of(fresh.scripted->ref(0, "out"));
            if (!c.chosen)
                fresh.session.outputChoice = quillon::midi::PortChoice::notChosen();
            fresh.scripted->opens = c.opens;
            fresh.scripted->result = c.result;
            auto& editor = fresh.open();
            fresh.messages.answerNext(MessageAnswer::Yes);
            fresh.clickButton("Default");
            const std::vector<ShownMessage>& shown = fresh.messages.messages();
            QVERIFY2(shown.size() == 1 + c.told.size(), c.name);
            QVERIFY2(std::equal(c.told.begin(), c.told.end(), shown.begin() + 1), c.name);
            QVERIFY2(editor.progressBar().position() == (c.told.empty() ? 1 : 0), c.name);
        }
    }

    void presetSendWaitsWithoutBlockingTheWindow()
    {
        auto& editor = h->open();
        editor.realTimeBox().setChecked(false);
        h->clickPreset("Fixup3.crv");
        h->clickButton("Send");
        QVERIFY(editor.sendWaiting()); // the click returned before the pause ended
        QCOMPARE(h->keyboard->messagesReceived(), std::size_t(0));
        QCOMPARE(editor.progressBar().position(), 0);

        // The window keeps drawing during the pause.
        h->drag(QPoint(160, 200), QPoint(180, 90));
        QCOMPARE(editor.state().working().keyPoints().x[2], 45);
        QVERIFY(editor.sendWaiting());

        QTRY_COMPARE_WITH_TIMEOUT(h->keyboard->messagesReceived(), std::size_t(1), 2000);
        QVERIFY(!editor.sendWaiting());
        QCOMPARE(*h->keyboard->curve(), asBytes(constantTable(127)));
        QCOMPARE(editor.progressBar().position(), 1);
        // The edited curve is untouched by the preset that went out.
        QCOMPARE(editor.state().working().keyPoints().x[2], 45);
        QCOMPARE(editor.state().working().table(), computeCurveTable(editor.state().working().keyPoints()));

        // Closing the window during the pause still sends.
        h->clickPreset("Fixup1.crv");
        h->clickButton("Send");
        QVERIFY(editor.sendWaiting());
        h->clickButton("Exit");
        QVERIFY(!editor.isVisible());
        QVERIFY(!editor.sendWaiting());
        QCOMPARE(h->keyboard->messagesReceived(), std::size_t(2));
        QCOMPARE(*h->keyboard->curve(), asBytes(constantTable(64)));
    }

    void storedFilesAreSentAsStoredOrRefused()
    {
        // The first file's table (all 64) does not match its key-points (Hard2).
        const Table stored = constantTable(64);
        h->writeCurve("odd.crv", quillon::curve::presetCurves()[3].points, &stored);
        Table broken = computeCurveTable(defaultKeyPoints());
        broken[10] = 200;
        h->writeCurve("broken.crv", defaultKeyPoints(), &broken);
        auto& editor = h->open();
        h->clickFile("odd.crv");
        h->clickButton("Send");
        QTRY_COMPARE_WITH_TIMEOUT(h->keyboard->messagesReceived(), std::size_t(1), 2000);
        QCOMPARE(*h->keyboard->curve(), asBytes(stored));
        QCOMPARE(editor.state().working().keyPoints(), defaultKeyPoints());

        h->clickFile("broken.crv");
        h->clickButton("Send");
        QTRY_COMPARE_WITH_TIMEOUT(h->messages.messages().size(), std::size_t(1), 2000);
        QCOMPARE(h->messages.messages()[0].title, std::string(quillon::text::kApplicationName));
        QVERIFY(h->messages.messages()[0].text.find("200") != std::string::npos);
        QCOMPARE(h->keyboard->messagesReceived(), std::size_t(1));
    }

    void keptSlotSendLeavesTheEditedCurveWhole()
    {
        auto& editor = h->open();
        editor.realTimeBox().setChecked(false);
        h->drag(QPoint(160, 200), QPoint(180, 30)); // key-point 2 to (45, 117)
        const KeyPoints kept = editor.state().working().keyPoints();
        h->chooseFromMenu("Keep Curve", "Curve2");
        h->drag(QPoint(180, 30), QPoint(170, 300)); // now (42, 27)
        const KeyPoints edited = editor.state().working().keyPoints();
        QVERIFY(!(kept == edited));

        h->chooseFromMenu("&Send", "Curve2");
        // Straight away, and during the pause, the working table belongs to the edited key-points,
        // so a Save now writes a table that matches its key-points.
        QCOMPARE(editor.state().working().table(), computeCurveTable(edited));
        h->messages.onNextDialog(quillon::testing::typeAndOk("during"));
        h->clickButton("Save");
        const auto saved = quillon::curve::readCurveFile(h->crvFolder() / "during.crv");
        QVERIFY(saved.ok());
        QCOMPARE(saved->points, edited);
        QCOMPARE(saved->table, computeCurveTable(edited));

        QTRY_COMPARE_WITH_TIMEOUT(h->keyboard->messagesReceived(), std::size_t(1), 2000);
        QCOMPARE(*h->keyboard->curve(), asBytes(computeCurveTable(kept)));
        QCOMPARE(editor.state().working().keyPoints(), edited);
    }

    // Ctrl+Z and Ctrl+Shift+Z (or Ctrl+Y): whole drags and Load are one step each,
    // and with Real_time checked the curve a step brings back is sent as a released drag's is.
    void undoAndRedoStepThroughDragsAndLoad()
    {
        auto& editor = h->open();
        editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor));

        h->drag(QPoint(160, 200), QPoint(180, 90));
        const KeyPoints afterFirst = editor.state().working().keyPoints();
        // A drag with many moves is still one step.
        h->press(QPoint(292, 200));
        for (int y = 190; y > 40; y -= 30)
            h->moveTo(QPoint(300, y));
        h->release(QPoint(300, 40));
        const KeyPoints afterSecond = editor.state().working().keyPoints();
        h->clickPreset(QString::fromLatin1(quillon::curve::presetCurves()[3].name.data()));
        h->clickButton(QStringLiteral("Load"));
        const KeyPoints loaded = quillon::curve::presetCurves()[3].points;
        QCOMPARE(editor.state().working().keyPoints(), loaded);

        std::size_t messages = h->keyboard->messagesReceived();
        QCOMPARE(messages, std::size_t(2)); // the two releases were sent
        const struct {
            QKeyCombination key;
            KeyPoints expected;
        } steps[] = {
            {Qt::CTRL | Qt::Key_Z, afterSecond},        {Qt::CTRL | Qt::Key_Z, afterFirst},
            {Qt::CTRL | Qt::Key_Z, defaultKeyPoints()}, {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, afterFirst},
            {Qt::CTRL | Qt::Key_Y, afterSecond},        {Qt::CTRL | Qt::Key_Y, loaded},
        };
        for (const auto& step : steps) {
            QTest::keyClick(&editor, step.key.key(), step.key.keyboardModifiers());
            QCOMPARE(editor.state().working().keyPoints(), step.expected);
            QCOMPARE(h->keyboard->messagesReceived(), ++messages);
            QCOMPARE(*h->keyboard->curve(), asBytes(computeCurveTable(step.expected)));
        }
        // Without Real_time a step only shows the curve.
        editor.realTimeBox().setChecked(false);
        QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor.state().working().keyPoints(), afterSecond);
        QCOMPARE(h->keyboard->messagesReceived(), messages);
    }

private:
    std::unique_ptr<EditorHarness> h;
};

QUILLON_QTEST(CurveSendingTest)
#include "CurveSendingTest.moc"
