// The Midiplay window driven offscreen: a recording sink stands in for the
// synthesizer and a virtual clock for time; timer ticks are called directly.
// The moc needs only the test class; the standard library headers below are kept from it.
#ifndef Q_MOC_RUN
#include "player/widgets/MidiPlayWindow.h"
#include "app/widgets/FileListWidget.h"
#include "app/widgets/MainWindow.h"
#include "base/core/FileListing.h"
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
#include <cmath>
#include <map>

using namespace quillon;
using namespace quillon::player;
using namespace quillon::testing;
using namespace std::chrono_literals;

namespace {

// The contrast of two colours as reading guidelines measure it (1 to 21).
double contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A data folder with songs of 200, 30, 50 and 10 seconds, one MIDI output
// port that keeps what it is sent, a recording sink and a virtual clock.
const std::map<std::string, int> kSongSeconds{
    {"long.mid", 200}, {"thirty.mid", 30}, {"fifty.mid", 50}, {"ten.mid", 10}};

struct Rig : SessionRig {
    FakeBackend* port;
    VirtualClock clock;
    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>(clock);
    QString silentReason;

    explicit Rig(int handedIndex = -1, int category = session::PlayHandOver::kSongsOfMidFolder)
        : SessionRig(backendsOf(std::make_unique<FakeBackend>("Scripted", std::vector<std::string>{"out"}))),
          port(&backend<FakeBackend>(0))
    {
        for (const auto& [name, seconds] : kSongSeconds)
            scratch.write("Quillon/mid/" + name, tickingSong(seconds));
        session.playHandOver = {category, handedIndex};
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

    std::vector<std::string> listing() const
    {
        return listing::listFolder(session.folders().songFolder(), DataFolders::kSongPattern).names;
    }
    int rowOf(const std::string& name) const
    {
        const auto names = listing();
        return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
    }
    int secondsAt(int row) const { return kSongSeconds.at(listing()[static_cast<std::size_t>(row)]); }
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
    // The handed entry is selected; more songs than a list may show, or songs of
    // another category, list nothing (the excess said once) and leave nothing to play.
    void listsTheSongsWithTheHandedEntrySelectedOrNothingBeyondTheLimit()
    {
        Rig rig(2);
        auto window = rig.window();
        const auto expected = rig.listing();
        QCOMPARE(window->songList().count(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(window->songList().item(i)->text().toStdString(), expected[static_cast<std::size_t>(i)]);
        QCOMPARE(window->songList().selectedItems().size(), 1);
        QCOMPARE(window->songList().currentRow(), 2);
        QVERIFY(rig.messages.messages().empty());
        // The cream look stays on a light scheme; on a dark one the song names and
        // the greyed status line read at a contrast of at least 4.5:1.
        QCOMPARE(window->palette().color(QPalette::Window), QColor(247, 251, 220));
        const QPalette light = QApplication::palette();
        QApplication::setPalette(QPalette(QColor(53, 53, 53), QColor(40, 40, 40)));
        auto onDark = rig.window();
        const QPalette status = onDark->statusLabel().palette(), songs = onDark->songList().palette();
        QApplication::setPalette(light);
        QVERIFY(contrast(status.color(QPalette::Disabled, QPalette::WindowText), status.color(QPalette::Window)) >=
                4.5);
        QVERIFY(contrast(songs.color(QPalette::Text), songs.color(QPalette::Base)) >= 4.5);
        // Each song's tooltip tells its format, tracks, length and size, here as in the main window.
        const auto tooltipOf = [](const QListWidget& list, const char* name) {
            const auto found = list.findItems(QLatin1String(name), Qt::MatchExactly);
            return found.isEmpty() ? QStringLiteral("(not listed)") : found.front()->toolTip();
        };
        const QString ten = QStringLiteral("Format 0, 1 track, 0:10, %1 bytes").arg(tickingSong(10).size());
        QCOMPARE(tooltipOf(window->songList(), "ten.mid"), ten);
        QCOMPARE(tooltipOf(app::MainWindow(rig.session).fileList(), "ten.mid"), ten);
        rig.session.playHandOver.index = 4; // beyond the list
        QVERIFY(rig.window()->songList().selectedItems().isEmpty());

        for (int i = 0; i < 296; ++i)
            rig.scratch.write("Quillon/mid/extra" + std::to_string(i) + ".mid", {});
        auto crowded = rig.window();
        QCOMPARE(crowded->songList().count(), 0);
        QCOMPARE(rig.messages.messages().size(), std::size_t{1});
        QCOMPARE(rig.messages.messages()[0].text, std::string(text::kTooManyFiles));
        crowded->playPressed();
        crowded->nextSong();
        QVERIFY(!crowded->songPlayer().isOpen());

        Rig other(0, 1);
        QCOMPARE(other.window()->songList().count(), 0);
    }

    // The song player's own tests hold resuming, stopping and the end of a song; here the
    // buttons drive it, the status line and slider follow, and Play picks the right song.
    void playPauseAndStopDriveTheStatusLineAndTheSlider()
    {
        Rig rig;
        rig.session.playHandOver.index = rig.rowOf("long.mid");
        auto window = rig.window();
        window->playPressed();
        QVERIFY(window->isTicking());
        QVERIFY(window->statusLabel().isEnabled());
        QCOMPARE(window->totalSeconds(), 200);
        rig.clock.runFor(65500ms);
        window->tick();
        QCOMPARE(window->statusLabel().text(), QStringLiteral("Play Status:   03:20 / 01:05"));
        QCOMPARE(window->slider().value(), 65);

        // Paused, another entry is selected meanwhile; Play still resumes the paused song.
        window->pausePressed();
        QVERIFY(!window->isTicking());
        const int other = rig.rowOf("long.mid") == 0 ? 1 : 0; // not the last row either
        window->songList().setCurrentRow(other);
        window->playPressed();
        QCOMPARE(window->songPlayer().position().totalSeconds(), 65);

        window->playPressed(); // while playing: the selected song from its beginning
        window->tick();
        QCOMPARE(window->totalSeconds(), rig.secondsAt(other));
        QVERIFY(window->statusLabel().text().endsWith(QStringLiteral(" / 00:00")));

        // Paused, Next starts the following song, running, from its beginning.
        rig.clock.runFor(7s);
        window->pausePressed();
        window->nextSong();
        QCOMPARE(window->songList().currentRow(), other + 1);
        QVERIFY(window->songPlayer().isPlaying() && !window->songPlayer().isPaused());

        rig.clock.runFor(3s);
        window->tick();
        window->stopPressed();
        QCOMPARE(window->slider().value(), 0);
        QVERIFY(!window->statusLabel().isEnabled());
        QVERIFY(window->statusLabel().text().endsWith(QStringLiteral(" / 00:03"))); // kept
        QVERIFY(!window->songPlayer().isOpen());
        QVERIFY(!window->isTicking());

        // A song that cannot be opened (spoilt since it was listed) says why, and no time runs for it.
        rig.scratch.touch("Quillon/mid/ten.mid", "MThd but nothing a player could read");
        window->songList().setCurrentRow(rig.rowOf("ten.mid"));
        window->playPressed();
        const QString status = window->statusLabel().text();
        QVERIFY2(status.startsWith(QStringLiteral("Can't play ten.mid: ")) &&
                     status.size() > QStringLiteral("Can't play ten.mid: ").size(),
                 qPrintable(status));
        QVERIFY(window->statusLabel().isEnabled());
        QVERIFY(!window->songPlayer().isOpen());
        QVERIFY(!window->isTicking());
    }

    // The song player's own tests hold the skips, their clamping and resuming; here the slider
    // and the window-wide keys reach the player whichever control has the focus, Previous and
    // Next stop at the ends of the list, and closing the window stops the song.
    void sliderKeysAndListEndsDriveThePlayer()
    {
        Rig rig;
        auto window = rig.window();
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        window->songList().setCurrentRow(3);
        window->songList().setFocus();
        QTest::keyClick(&window->songList(), Qt::Key_Return); // plays the selected song
        rig.clock.runFor(2s);
        window->nextSong(); // on the last: nothing happens
        QCOMPARE(window->songList().currentRow(), 3);
        window->songList().setCurrentRow(0);
        window->previousSong(); // on the first: nothing happens either, the song goes on
        QCOMPARE(window->songPlayer().position().totalSeconds(), 2);
        window->songList().setCurrentRow(rig.rowOf("long.mid"));
        window->songDoubleClicked();
        window->slider().setValue(100);
        emit window->slider().released();
        QCOMPARE(window->songPlayer().position().totalSeconds(), 100); // 1 min 40 s
        QTest::mouseClick(&window->button(QStringLiteral(">>")), Qt::LeftButton);
        QCOMPARE(window->songPlayer().position().totalSeconds(), 108);
        QTest::keyClick(&window->slider(), Qt::Key_Left);
        QCOMPARE(window->songPlayer().position().totalSeconds(), 100);
        QTest::mouseClick(&window->button(QStringLiteral("&Pause")), Qt::LeftButton);
        QVERIFY(window->songPlayer().isPaused());
        QTest::keyClick(&window->button(QStringLiteral("<")), Qt::Key_Space); // a focused button does not take it
        QVERIFY(window->songPlayer().isPlaying() && !window->songPlayer().isPaused());
        QCOMPARE(window->songList().currentRow(), rig.rowOf("long.mid"));

        window->reject(); // Escape or the close box
        QVERIFY(!window->songPlayer().isOpen());
        QVERIFY(!window->isTicking());
    }

    // The context menu offers the outputs and the play-the-list-through choice.
    void playsIntoAChosenMidiPortAndOnThroughTheListWhenChosen()
    {
        Rig rig;
        rig.silentReason = QString::fromUtf8(text::kPlayerNoAudio.data());
        const int first = 1;
        rig.session.playHandOver.index = first;
        auto window = rig.window();
        QVERIFY(window->isSilent());
        QCOMPARE(window->statusLabel().text(), rig.silentReason);
        QCOMPARE(window->outputNames(),
                 (QStringList{QStringLiteral("Built-in synthesizer"), QStringLiteral("Scripted: out")}));
        rig.chooseFromMenu(*window, QStringLiteral("Scripted: out"));
        QCOMPARE(window->outputDescription(), QStringLiteral("Scripted: out"));
        QVERIFY(!window->isSilent());
        const QString choice = QString::fromUtf8(text::kPlayListThrough.data());
        rig.chooseFromMenu(*window, choice);
        QVERIFY(window->playsListThrough());
        QCOMPARE(rig.messages.menus().back().back(), choice); // offered beside the outputs, checked now
        window->playPressed();

        // Each song that ends is followed by the next one, from its start.
        for (int row = first; row < 3; ++row) {
            rig.clock.runFor(std::chrono::seconds(rig.secondsAt(row)) - 1s);
            window->tick();
            QCOMPARE(window->songList().currentRow(), row); // not ended yet
            rig.clock.runFor(1s);
            window->tick();
            QCOMPARE(window->songList().currentRow(), row + 1);
            QCOMPARE(window->totalSeconds(), rig.secondsAt(row + 1));
        }
        const std::vector<std::uint8_t> noteOn{0x90, 60, 100};
        QVERIFY(std::find(rig.port->sent.begin(), rig.port->sent.end(), noteOn) != rig.port->sent.end());
        // Chosen again, it is off: the song that ends stays the last one played.
        rig.chooseFromMenu(*window, choice);
        QVERIFY(!window->playsListThrough());
        window->previousSong();
        rig.clock.runFor(std::chrono::seconds(rig.secondsAt(2)));
        window->tick();
        QCOMPARE(window->songList().currentRow(), 2);
        QVERIFY(window->chooseOutput(0));
        QCOMPARE(window->outputDescription(), QStringLiteral("Built-in synthesizer"));
        QVERIFY(window->isSilent());
    }
};

QUILLON_QTEST(MidiPlayWindowTest)
#include "MidiPlayWindowTest.moc"
