// The Midiplay window driven offscreen: a recording sink stands in for the
// synthesizer and a virtual clock for time; timer ticks are called directly.
// The moc needs only the test class; the standard library headers below are kept from it.
#ifndef Q_MOC_RUN
#include "player/widgets/MidiPlayWindow.h"
#include "base/core/Messages.h"
#include "player/engine/RecordingSink.h"
#include "player/widgets/PositionSlider.h"

#include "../support/FakeBackend.h"
#include "../support/QtTestMain.h"
#include "../support/SessionRig.h"
#include "PlayerFixtures.h"
#include "VirtualClock.h"
#endif

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <algorithm>

using namespace quillon;
using namespace quillon::player;
using namespace quillon::testing;
using namespace std::chrono_literals;

namespace {

// A data folder with songs of 30, 200, 50 and 10 seconds (listed in this order,
// newest first), one MIDI output port that keeps what it is sent, a recording
// sink and a virtual clock.
const std::pair<const char*, int> kSongs[] = {
    {"thirty.mid", 30}, {"long.mid", 200}, {"fifty.mid", 50}, {"ten.mid", 10}};

struct Rig : SessionRig {
    FakeBackend* port;
    VirtualClock clock;
    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>(clock);
    QString silentReason;

    Rig()
        : SessionRig(backendsOf(std::make_unique<FakeBackend>("Scripted", std::vector<std::string>{"out"}))),
          port(&backend<FakeBackend>(0))
    {
        for (auto song = std::rbegin(kSongs); song != std::rend(kSongs); ++song) {
            scratch.write(std::string("Quillon/mid/") + song->first, tickingSong(song->second));
            QTest::qWait(15); // a later creation time for the next one
        }
        session.playHandOver = {session::PlayHandOver::kSongsOfMidFolder, -1};
    }

    std::unique_ptr<MidiPlayWindow> window()
    {
        MidiPlayOptions options;
        options.clock = &clock;
        options.makeSynthesizer = [this](QString& silent) -> std::shared_ptr<OutputSink> {
            silent = silentReason;
            return sink;
        };
        return std::make_unique<MidiPlayWindow>(session, options);
    }

    static int secondsAt(int row) { return kSongs[row].second; }
    // Right-clicks the window and picks this entry of its context menu.
    void chooseFromMenu(QWidget& window, const QString& entry)
    {
        messages.chooseNextMenuEntry(entry);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), window.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&window, &event);
    }
};

} // namespace

class MidiPlayWindowTest : public QObject {
    Q_OBJECT

private slots:
    // One walk through the window's main use: the handed song selected, played into a
    // MIDI port chosen from the menu, the status line and slider following, the slider,
    // Space reaching the player, other songs, the list played through, a
    // spoilt song named, and closing the window stops the song.
    void playsTheListedSongsAsTheControlsSay()
    {
        Rig rig;
        rig.silentReason = QString::fromUtf8(text::kPlayerNoAudio.data());
        const int longRow = 1;
        rig.session.playHandOver.index = longRow;
        auto window = rig.window();
        QCOMPARE(window->songList().currentRow(), longRow);
        QVERIFY(window->isSilent());
        QCOMPARE(window->statusLabel().text(), rig.silentReason);
        rig.chooseFromMenu(*window, QStringLiteral("Scripted: out"));
        QCOMPARE(window->outputDescription(), QStringLiteral("Scripted: out"));
        QVERIFY(!window->isSilent());
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));

        window->playPressed();
        QVERIFY(window->isTicking() && window->statusLabel().isEnabled());
        QCOMPARE(window->totalSeconds(), 200);
        rig.clock.runFor(65500ms);
        window->tick();
        QCOMPARE(window->statusLabel().text(), QStringLiteral("Play Status:   03:20 / 01:05"));
        QCOMPARE(window->slider().value(), 65);
        const std::vector<std::uint8_t> noteOn{0x90, 60, 100};
        QVERIFY(std::find(rig.port->sent.begin(), rig.port->sent.end(), noteOn) != rig.port->sent.end());
        window->slider().setValue(100);
        emit window->slider().released();
        QCOMPARE(window->songPlayer().position().totalSeconds(), 100);

        // Paused with another entry selected, Play (Space, which a focused button
        // does not take) still resumes the paused song.
        QTest::mouseClick(&window->button(QStringLiteral("&Pause")), Qt::LeftButton);
        QVERIFY(window->songPlayer().isPaused() && !window->isTicking());
        const int other = 0;
        window->songList().setCurrentRow(other);
        QTest::keyClick(&window->button(QStringLiteral("<")), Qt::Key_Space);
        QVERIFY(window->songPlayer().isPlaying() && !window->songPlayer().isPaused());
        QCOMPARE(window->songPlayer().position().totalSeconds(), 100);
        window->playPressed(); // while playing: the selected song from its beginning
        window->tick();
        QCOMPARE(window->totalSeconds(), rig.secondsAt(other));
        QVERIFY(window->statusLabel().text().endsWith(QStringLiteral(" / 00:00")));

        // Paused, Next starts the following song, running; played through, each
        // song that ends is followed by the next one.
        window->pausePressed();
        window->nextSong();
        const int next = other + 1;
        QCOMPARE(window->songList().currentRow(), next);
        QVERIFY(window->songPlayer().isPlaying() && !window->songPlayer().isPaused());
        const QString choice = QString::fromUtf8(text::kPlayListThrough.data());
        rig.chooseFromMenu(*window, choice);
        QVERIFY(window->playsListThrough());
        rig.clock.runFor(std::chrono::seconds(rig.secondsAt(next)) - 1s);
        window->tick();
        QCOMPARE(window->songList().currentRow(), next); // not ended yet
        rig.clock.runFor(1s);
        QTRY_COMPARE(window->songList().currentRow(), next + 1); // as the song ends, no tick needed
        QCOMPARE(window->totalSeconds(), rig.secondsAt(next + 1));

        window->stopPressed();
        QCOMPARE(window->slider().value(), 0);
        QVERIFY(!window->statusLabel().isEnabled());
        QVERIFY(!window->songPlayer().isOpen() && !window->isTicking());

        // A song spoilt since it was listed says why, and no time runs for it.
        rig.scratch.touch("Quillon/mid/ten.mid", "MThd but nothing a player could read");
        window->songList().setCurrentRow(3); // ten.mid
        window->playPressed();
        QVERIFY2(window->statusLabel().text().startsWith(QStringLiteral("Can't play ten.mid: ")),
                 qPrintable(window->statusLabel().text()));
        QVERIFY(!window->songPlayer().isOpen() && !window->isTicking());

        window->songList().setCurrentRow(longRow);
        QTest::keyClick(&window->songList(), Qt::Key_Return); // plays the selected song
        QVERIFY(window->songPlayer().isPlaying());
        window->reject(); // Escape or the close box
        QVERIFY(!window->songPlayer().isOpen() && !window->isTicking());
    }
};

QUILLON_QTEST(MidiPlayWindowTest)
#include "MidiPlayWindowTest.moc"
