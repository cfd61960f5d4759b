#include "player/widgets/MidiPlayWindow.h"

#include "base/core/FileListing.h"
#include "base/core/Messages.h"
#include "player/engine/PortSink.h"
#include "player/engine/SynthSink.h"
#include "player/widgets/PositionSlider.h"
#include "player/widgets/SongListItem.h"
#include "ui/DialogUnits.h"
#include "ui/ListedFile.h"
#include "ui/MessageService.h"
#include "ui/QtText.h"
#include "ui/ReadableColour.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

#include <cstdio>

namespace quillon::player {

namespace {

const QColor kBackground(247, 251, 220);
const QColor kSongText(210, 184, 130);

// The built-in synthesizer through the desktop's audio; silent (with the reason) when it cannot be heard.
std::shared_ptr<OutputSink> makeFluidSynth(QString& silentReason)
{
    auto synth = SynthSink::create({});
    if (!synth) {
        silentReason = QString::fromStdString(synth.reason());
        return nullptr;
    }
    if (!synth.value()->hasAudio())
        silentReason = qt(text::kPlayerNoAudio);
    return std::shared_ptr<OutputSink>(std::move(synth).value());
}

} // namespace

MidiPlayWindow::MidiPlayWindow(session::Session& session, MidiPlayOptions options, QWidget* parent)
    : QDialog(parent), m_session(session), m_options(std::move(options))
{
    setWindowTitle(qt(text::kPlayerTitle));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(ui::dialogFont("System", 9));

    if (m_options.clock) {
        m_clock = m_options.clock;
    } else {
        m_ownClock = std::make_unique<SteadyClock>();
        m_clock = m_ownClock.get();
    }
    if (!m_options.makeSynthesizer)
        m_options.makeSynthesizer = makeFluidSynth;
    m_player = std::make_unique<SongPlayer>(m_options.makeSynthesizer(m_silentReason), *m_clock);
    m_outputDescription = qt(text::kPlayerSynthesizer);
    // "Play the list through" moves on the moment a song ends, not on the next tick.
    m_player->setOnEnd([this] {
        QMetaObject::invokeMethod(
            this, [this] { songEnded(); }, Qt::QueuedConnection);
    });

    buildControls();
    applyColours();
    addKeys();
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &MidiPlayWindow::tick);

    fillSongList();
    m_slider->setRange(0, kSliderSteps);
    m_slider->setPageStep(5);
    m_slider->setTickInterval(10);
    m_slider->setTickPosition(QSlider::NoTicks);
    m_statusText = isSilent() ? m_silentReason : qt(text::kPlayerReady);
    m_status->setToolTip(isSilent() ? m_silentReason : QString());
    showStatus();
}

MidiPlayWindow::~MidiPlayWindow() { halt(); }

void MidiPlayWindow::buildControls()
{
    const ui::DialogUnits units(font());
    setFixedSize(units.size(146, 90));

    struct ButtonPlace {
        const char* text;
        int x, width;
        void (MidiPlayWindow::*handler)();
        // What a screen reader says for a symbol caption, and what the button does.
        const char* name;
        const char* description;
    };
    const ButtonPlace row[] = {
        {"&Play", 3, 21, &MidiPlayWindow::playPressed, nullptr, nullptr},
        {"&Pause", 24, 24, &MidiPlayWindow::pausePressed, nullptr, nullptr},
        {"<<", 48, 17, &MidiPlayWindow::rewind, "Skip back", "Moves the song back a few seconds"},
        {">>", 65, 18, &MidiPlayWindow::fastForward, "Skip forward", "Moves the song on a few seconds"},
        {"&Stop", 83, 20, &MidiPlayWindow::stopPressed, nullptr, nullptr},
        {"<", 103, 17, &MidiPlayWindow::previousSong, "Previous song", "Plays the song above in the list"},
        {">", 120, 17, &MidiPlayWindow::nextSong, "Next song", "Plays the song below in the list"},
    };
    for (const ButtonPlace& place : row) {
        auto* button = new QPushButton(QLatin1String(place.text), this);
        if (place.name != nullptr) {
            button->setAccessibleName(QLatin1String(place.name));
            button->setAccessibleDescription(QLatin1String(place.description));
        }
        button->setAutoDefault(false);
        units.place(*button, place.x, 3, place.width, 10);
        connect(button, &QPushButton::clicked, this, place.handler);
        m_buttons.push_back(button);
    }

    m_slider = new PositionSlider(this);
    m_slider->setAccessibleName(QStringLiteral("Position in the song"));
    units.place(*m_slider, 0, 16, 144, 10);
    connect(m_slider, &PositionSlider::released, this, &MidiPlayWindow::sliderReleased);

    m_songs = new QListWidget(this);
    m_songs->setAccessibleName(QStringLiteral("Songs"));
    m_songs->setSelectionMode(QAbstractItemView::SingleSelection);
    m_songs->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_songs->setSortingEnabled(false);
    units.place(*m_songs, 2, 27, 140, 53);
    connect(m_songs, &QListWidget::itemDoubleClicked, this, &MidiPlayWindow::songDoubleClicked);

    m_status = new QLabel(this);
    m_status->setAlignment(Qt::AlignCenter);
    units.place(*m_status, 3, 79, 136, 8);
    m_status->setEnabled(false);
}

void MidiPlayWindow::addKeys()
{
    // Window-wide, so that they work whichever control has the focus (a
    // focused list or slider would otherwise take Space and the arrows).
    const auto key = [this](QKeySequence sequence, void (MidiPlayWindow::*command)()) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, command);
    };
    key(Qt::Key_Space, &MidiPlayWindow::playOrPause);
    key(Qt::Key_Left, &MidiPlayWindow::rewind);
    key(Qt::Key_Right, &MidiPlayWindow::fastForward);
    key(Qt::Key_Return, &MidiPlayWindow::songDoubleClicked);
    key(Qt::Key_Enter, &MidiPlayWindow::songDoubleClicked);
}

void MidiPlayWindow::applyColours()
{
    // The cream window with light brown song names is the light design; on a
    // dark scheme the window takes the scheme's colour and the song names and
    // the greyed status line are made readable on it.
    m_colouring = true;
    const QPalette scheme = QApplication::palette();
    const bool dark = ui::isDark(scheme.color(QPalette::Window));
    const QColor background = dark ? scheme.color(QPalette::Window) : kBackground;

    QPalette window = palette();
    window.setColor(QPalette::Window, background);
    setPalette(window);
    setAutoFillBackground(true);

    // The status line paints its own opaque background in the window's colour.
    QPalette status = m_status->palette();
    status.setColor(QPalette::Window, background);
    if (dark)
        status.setColor(QPalette::Disabled, QPalette::WindowText,
                        ui::readableOn(scheme.color(QPalette::Disabled, QPalette::WindowText), background));
    m_status->setPalette(status);
    m_status->setAutoFillBackground(true);

    QPalette songs = m_songs->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        songs.setColor(group, QPalette::Text,
                       dark ? ui::readableOn(kSongText, songs.color(group, QPalette::Base)) : kSongText);
    m_songs->setPalette(songs);
    m_colouring = false;
}

void MidiPlayWindow::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // The desktop switching between a light and a dark scheme reaches a window
    // as a change of its palette; the window's own palette changes are skipped.
    const auto type = event->type();
    if ((type == QEvent::PaletteChange || type == QEvent::ApplicationPaletteChange) && !m_colouring && m_songs)
        applyColours();
}

QPushButton& MidiPlayWindow::button(const QString& text) const
{
    for (QPushButton* b : m_buttons)
        if (b->text() == text)
            return *b;
    return *m_buttons.front();
}

void MidiPlayWindow::fillSongList()
{
    m_songs->clear();
    const session::PlayHandOver& handOver = m_session.playHandOver;
    if (handOver.category == session::PlayHandOver::kSongsOfMidFolder) {
        const listing::FileList files =
            listing::listFolder(m_session.folders().songFolder(), DataFolders::kSongPattern);
        if (files.tooMany)
            m_session.messages().inform(this, text::kApplicationName, text::kTooManyFiles, ui::MessageIcon::None);
        for (const std::string& name : files.names) {
            auto* item = new SongListItem(ui::shownName(name), m_session.folders().songPath(name));
            ui::carryFileName(*item, name);
            m_songs->addItem(item);
        }
    }
    selectIndex(handOver.index);
}

int MidiPlayWindow::selectedIndex() const
{
    const auto selected = m_songs->selectedItems();
    return selected.isEmpty() ? -1 : m_songs->row(selected.front());
}

void MidiPlayWindow::selectIndex(int index)
{
    if (index >= 0 && index < m_songs->count())
        m_songs->setCurrentRow(index);
    else
        m_songs->clearSelection();
}

void MidiPlayWindow::showStatus() { m_status->setText(m_statusText); }

void MidiPlayWindow::playPressed()
{
    if (m_paused)
        m_paused = false;
    else
        stopPressed();

    const int index = selectedIndex();
    if (index < 0)
        return;
    const std::string name = ui::listedFileName(*m_songs->item(index));
    m_timer.start();
    // Refused while the paused song is still open: that song is the one that goes on.
    m_player->open(m_session.folders().songPath(name).string());
    if (!m_player->isOpen()) {
        // Never leave the last song's time standing as if this one played.
        m_timer.stop();
        m_statusText = qt(text::kPlayerCannotOpen) + QString::fromStdString(name) + QStringLiteral(": ") +
                       QString::fromStdString(m_player->lastError());
        m_status->setEnabled(true);
        showStatus();
        return;
    }
    m_player->getLength(m_lengthMinutes, m_lengthSeconds);
    m_totalSeconds = m_lengthMinutes * 60 + m_lengthSeconds;
    m_status->setEnabled(true);
    m_player->play();
    tick(); // this song's time at once, not the last one's
}

void MidiPlayWindow::playOrPause()
{
    if (m_player->isPlaying() && !m_paused && !m_player->hasEnded())
        pausePressed();
    else
        playPressed();
}

void MidiPlayWindow::pausePressed()
{
    m_player->pause();
    m_paused = true;
    m_timer.stop();
}

void MidiPlayWindow::stopPressed()
{
    m_status->setEnabled(false);
    m_player->stop();
    m_player->close();
    m_timer.stop();
    m_slider->setValue(0);
}

void MidiPlayWindow::previousSong()
{
    const int index = selectedIndex();
    if (index <= 0)
        return;
    selectIndex(index - 1);
    m_player->close();
    playPressed();
}

void MidiPlayWindow::nextSong()
{
    const int index = selectedIndex();
    if (index >= m_songs->count() - 1)
        return;
    selectIndex(index + 1);
    m_player->close();
    playPressed();
}

void MidiPlayWindow::songDoubleClicked()
{
    m_player->close();
    playPressed();
}

void MidiPlayWindow::rewind() { m_player->skipBack(kSkipSeconds); }

void MidiPlayWindow::fastForward() { m_player->skipForward(kSkipSeconds); }

void MidiPlayWindow::sliderReleased()
{
    // Each of the 200 steps stands for a 200th of the song, truncated to whole seconds.
    const int target = m_totalSeconds > 0 ? m_slider->value() * m_totalSeconds / kSliderSteps : 0;
    m_player->seekTo(target / 60, target % 60);
    showStatus();
}

void MidiPlayWindow::songEnded()
{
    // Paused, moved or closed since: the song has not ended as far as the user is concerned.
    if (m_player->hasEnded() && m_playListThrough && selectedIndex() + 1 < m_songs->count())
        nextSong();
    else
        tick();
}

void MidiPlayWindow::tick()
{
    if (!m_player->isOpen())
        return;
    const MinutesSeconds position = m_player->position(); // one reading for minutes and seconds
    m_positionSeconds = position.totalSeconds();
    m_slider->setValue(m_totalSeconds > 0 ? m_positionSeconds * kSliderSteps / m_totalSeconds : 0);
    char line[64];
    std::snprintf(line, sizeof line, text::kPlayStatusFormat.data(), m_totalSeconds / 60, m_totalSeconds % 60,
                  m_positionSeconds / 60, m_positionSeconds % 60);
    m_statusText = QString::fromLatin1(line);
    showStatus();
}

QStringList MidiPlayWindow::outputNames() const
{
    QStringList names{qt(text::kPlayerSynthesizer)};
    if (midi::MidiSystem* midi = m_session.midi())
        for (const midi::PortInfo& port : midi->outputs())
            names << QString::fromStdString(port.label);
    return names;
}

bool MidiPlayWindow::chooseOutput(int index)
{
    if (index == 0) {
        m_silentReason.clear();
        m_player->setSink(m_options.makeSynthesizer(m_silentReason));
        m_outputDescription = qt(text::kPlayerSynthesizer);
    } else {
        midi::MidiSystem* midi = m_session.midi();
        if (!midi || index < 0)
            return false;
        const auto ports = midi->outputs();
        if (static_cast<std::size_t>(index) > ports.size())
            return false;
        const midi::PortInfo& port = ports[static_cast<std::size_t>(index - 1)];
        auto connection = midi->openOutput(midi::PortChoice::of(port.ref));
        if (!connection)
            return false;
        m_player->setSink(std::make_shared<PortSink>(std::move(connection), midi));
        m_silentReason.clear();
        m_outputDescription = QString::fromStdString(port.label);
    }
    m_status->setToolTip(isSilent() ? m_silentReason : m_outputDescription);
    if (!m_player->isOpen()) {
        m_statusText = isSilent() ? m_silentReason : m_outputDescription;
        showStatus();
    }
    return true;
}

void MidiPlayWindow::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    const QStringList names = outputNames();
    for (int i = 0; i < names.size(); ++i) {
        QAction* action = menu.addAction(names[i]);
        action->setCheckable(true);
        action->setChecked(names[i] == m_outputDescription);
        action->setData(i);
    }
    menu.addSeparator();
    QAction* listThrough = menu.addAction(qt(text::kPlayListThrough));
    listThrough->setCheckable(true);
    listThrough->setChecked(m_playListThrough);
    QAction* chosen = m_session.messages().execMenu(menu, event->globalPos());
    if (chosen == listThrough)
        m_playListThrough = !m_playListThrough;
    else if (chosen != nullptr)
        chooseOutput(chosen->data().toInt());
}

void MidiPlayWindow::halt()
{
    m_timer.stop();
    stopPressed();
}

void MidiPlayWindow::done(int result)
{
    halt(); // playback never outlives the window
    QDialog::done(result);
}

void runMidiPlayWindow(session::Session& session, QWidget& parent)
{
    MidiPlayWindow window(session, {}, &parent);
    session.messages().execDialog(window);
}

} // namespace quillon::player
