#pragma once
// The "Midiplay" window: the songs of the data folder's "mid" folder, listed
// by the same rule (and so in the same order) as the main window, transport
// buttons, a 200-step position slider and a status line updated once a second.
// It starts on the entry the main window handed over. Songs play into the
// built-in synthesizer, or into a MIDI output port chosen from the window's
// context menu. Playback never outlives the window.
//
// From the keyboard: Space plays and pauses, Left and Right skip as "<<" and
// ">>" do, Enter plays the selected song. The context menu can also have the
// list played through: when a song ends, the next one starts.
#include "player/engine/Clock.h"
#include "player/engine/SongPlayer.h"
#include "session/Session.h"

#include <QDialog>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

namespace quillon::player {

class PositionSlider;

struct MidiPlayOptions {
    Clock* clock = nullptr; // null: the steady clock
    // Makes the built-in synthesizer's sink. Sets `silentReason` when it makes no
    // sound (no audio output, no soundfont); may return null. Null function: FluidSynth.
    std::function<std::shared_ptr<OutputSink>(QString& silentReason)> makeSynthesizer;
};

class MidiPlayWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSliderSteps = 200;
    static constexpr int kSkipSeconds = 8;
    static constexpr int kTickMs = 1000;

    MidiPlayWindow(session::Session& session, MidiPlayOptions options = {}, QWidget* parent = nullptr);
    ~MidiPlayWindow() override;

    // The window's controls and commands, as the buttons, the list and the slider use them.
    void playPressed();
    void pausePressed();
    void stopPressed();
    void previousSong();
    void nextSong();
    void rewind();
    void fastForward();
    void songDoubleClicked();
    void sliderReleased();
    void tick();
    void songEnded();
    // Space: pauses a song that is playing, otherwise plays (resuming a paused one).
    void playOrPause();

    // When on, a song that has ended is followed by the next one in the list.
    void setPlayListThrough(bool on) { m_playListThrough = on; }
    bool playsListThrough() const { return m_playListThrough; }

    // Outputs: index 0 is the built-in synthesizer, then the MIDI output ports.
    QStringList outputNames() const;
    bool chooseOutput(int index);
    const QString& outputDescription() const { return m_outputDescription; }
    bool isSilent() const { return !m_silentReason.isEmpty(); }

    QListWidget& songList() const { return *m_songs; }
    PositionSlider& slider() const { return *m_slider; }
    QLabel& statusLabel() const { return *m_status; }
    QPushButton& button(const QString& text) const;
    bool isTicking() const { return m_timer.isActive(); }
    const SongPlayer& songPlayer() const { return *m_player; }
    int totalSeconds() const { return m_totalSeconds; }

    void done(int result) override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    void applyColours();
    void fillSongList();
    int selectedIndex() const;
    void selectIndex(int index);
    void showStatus();
    void halt();
    void addKeys();

    session::Session& m_session;
    bool m_colouring = false; // while applyColours sets the palettes
    std::unique_ptr<Clock> m_ownClock;
    Clock* m_clock;
    MidiPlayOptions m_options;
    std::unique_ptr<SongPlayer> m_player;
    QString m_silentReason;
    QString m_outputDescription;

    bool m_paused = false;
    bool m_playListThrough = false;
    int m_lengthMinutes = -1;
    int m_lengthSeconds = -1;
    int m_totalSeconds = 0;
    int m_positionSeconds = 0;
    QString m_statusText;

    QTimer m_timer;
    QListWidget* m_songs = nullptr;
    PositionSlider* m_slider = nullptr;
    QLabel* m_status = nullptr;
    std::vector<QPushButton*> m_buttons;
};

// What the main window's "&MidiPlay" runs: the window, modal, on the session's hand-over values.
void runMidiPlayWindow(session::Session& session, QWidget& parent);

} // namespace quillon::player
