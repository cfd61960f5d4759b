// Undo and redo of the working curve from the keyboard: whole drags, Load and
// New are one step each, and with Real_time checked the curve a step brings
// back reaches the built-in keyboard as a released drag's does.
#include "EditorHarness.h"

#include "curve/core/Presets.h"

#include <QUndoStack>

using quillon::curve::computeCurveTable;
using quillon::curve::defaultKeyPoints;
using quillon::curve::KeyPoints;
using quillon::testing::asBytes;
using quillon::testing::EditorHarness;
using quillon::ui::MessageAnswer;

class CurveHistoryTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        h = std::make_unique<EditorHarness>();
        auto& editor = h->open();
        editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
    }
    void cleanup() { h.reset(); }

    void stepsBackAndForthThroughDragsLoadAndNew()
    {
        auto& editor = *h->editor;
        const KeyPoints start = editor.state().working().keyPoints();
        QCOMPARE(start, defaultKeyPoints());

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
        QVERIFY(afterFirst != start && afterSecond != afterFirst && loaded != afterSecond);
        QCOMPARE(editor.history().count(), 3);

        const auto sent = [&] { return h->keyboard->messagesReceived(); };
        const auto expectShownAndSent = [&](const KeyPoints& points, std::size_t messages) {
            QCOMPARE(editor.state().working().keyPoints(), points);
            const auto table = computeCurveTable(points);
            QCOMPARE(editor.newCell(6).text(), QString::number(table[60])); // what the window shows
            QCOMPARE(sent(), messages);
            QCOMPARE(*h->keyboard->curve(), asBytes(table)); // what the keyboard now holds
        };
        std::size_t messages = sent(); // the two releases were sent
        QCOMPARE(messages, std::size_t(2));

        const struct {
            QKeyCombination key;
            KeyPoints expected;
        } steps[] = {
            {Qt::CTRL | Qt::Key_Z, afterSecond}, {Qt::CTRL | Qt::Key_Z, afterFirst},
            {Qt::CTRL | Qt::Key_Z, start},       {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, afterFirst},
            {Qt::CTRL | Qt::Key_Y, afterSecond}, {Qt::CTRL | Qt::Key_Y, loaded},
        };
        for (const auto& step : steps) {
            QTest::keyClick(&editor, step.key.key(), step.key.keyboardModifiers());
            expectShownAndSent(step.expected, ++messages);
        }
        // Nothing left to redo: nothing changes, nothing is sent.
        QTest::keyClick(&editor, Qt::Key_Y, Qt::ControlModifier);
        expectShownAndSent(loaded, messages);

        // Without Real_time a step only shows the curve.
        editor.realTimeBox().setChecked(false);
        QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor.state().working().keyPoints(), afterSecond);
        QCOMPARE(sent(), messages);

        // New is one step too (its own send question answered No).
        h->messages.answerNext(MessageAnswer::No);
        h->clickButton(QStringLiteral("New"));
        QCOMPARE(editor.state().working().keyPoints(), defaultKeyPoints());
        QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor.state().working().keyPoints(), afterSecond);
    }

private:
    std::unique_ptr<EditorHarness> h;
};

QUILLON_QTEST(CurveHistoryTest)
#include "CurveHistoryTest.moc"
