#include "transfer/widgets/SendFileDialog.h"

#include "base/core/Messages.h"
#include "midi/io/MidiInputPump.h"
#include "midi/io/MidiSystem.h"
#include "midi/io/StallWatch.h"
#include "session/Session.h"
#include "transfer/core/FileAccess.h"
#include "transfer/core/TransferSnapshot.h"
#include "ui/DialogUnits.h"
#include "ui/EditableList.h"
#include "ui/FittingLabel.h"
#include "ui/MessageService.h"
#include "ui/PercentBar.h"
#include "ui/QtText.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

namespace quillon::transfer {

namespace {

const QColor kStatusColour(0, 0, 250);
constexpr int kVisibleRows = 8;

struct ColumnSpec {
    const char* heading;
    int width;
};
constexpr ColumnSpec kColumns[] = {{"FileName", 212}, {"Size", 80}, {"Nume", 65}, {"Send", 65}};
constexpr const char* kSendCellText = "Yes";

QString rowStateText(FileResult result)
{
    switch (result) {
    case FileResult::Sent: return QStringLiteral("Sent");
    case FileResult::CutShort: return QStringLiteral("Cut short");
    case FileResult::Stopped: return QStringLiteral("Stopped");
    default: return QStringLiteral("Failed");
    }
}

std::optional<std::uintmax_t> fileLength(const std::filesystem::path& path)
{
    const auto head = FileInspector::disk().inspect(path, 0);
    if (!head)
        return std::nullopt;
    return head->length;
}

} // namespace

const QColor SendFileDialog::kRepeatedSlotColour(255, 214, 130);
const QColor SendFileDialog::kSendingRowColour(190, 220, 255);

SendFileDialog::SendFileDialog(session::Session& session, QWidget* parent)
    : QDialog(parent), m_session(session), m_transfers(session.transfers),
      m_recorder([this](const std::string& fileName) {
          if (m_snapshot) {
              if (const auto length = m_snapshot->lengthOf(fileName))
                  return length;
          }
          return fileLength(pathOf(fileName));
      })
{
    setWindowTitle(QStringLiteral("Send File"));
    m_slotMap = m_session.slotMap();
    const auto device = m_session.chosenKeyboard();
    m_slots = m_slotMap.forOutput(device);
    m_recorder.setDevice(device.value_or(std::string()));
    setFont(ui::dialogFont(QStringLiteral("Arial"), 9));
    buildControls();

    setStatus(qt(text::kStatusIdle));
    m_closeButton->setText(qt(text::kCloseCancel));
    m_progress->setRange(0, 1);
    m_progress->setPosition(0);
    fillList();
    markRepeatedSlots();
    // Nothing to send: Send would only announce a transfer without a file.
    m_sendButton->setEnabled(!m_transfers.entries.empty());

    m_silence.setSingleShot(true);
    m_silence.setInterval(kDefaultSilenceTimeout);
    connect(&m_silence, &QTimer::timeout, this, &SendFileDialog::onSilence);
    m_rateTimer.setInterval(kDefaultRateInterval);
    connect(&m_rateTimer, &QTimer::timeout, this, [this] {
        showRate(true);
        if (m_session.midi())
            m_stallWatch.look(*m_session.midi(), m_outputPort);
    });
}

SendFileDialog::~SendFileDialog() { endTransfer(); }

void SendFileDialog::buildControls()
{
    m_list = new ui::EditableList(this);
    m_list->setAccessibleName(QStringLiteral("Files to send"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);

    m_status = new ui::FittingLabel(this);
    m_status->setAutoFillBackground(true); // opaque, so a shorter text leaves nothing behind
    // A long notice wraps inside the window (room for three lines, in a
    // smaller font when it needs more) instead of widening it or being cut off.
    m_status->setFixedHeight(3 * m_status->fontMetrics().lineSpacing());
    QPalette statusPalette = m_status->palette();
    statusPalette.setColor(QPalette::WindowText, kStatusColour);
    m_status->setPalette(statusPalette);

    m_progress = new ui::PercentBar(this);
    m_progress->setAccessibleName(QStringLiteral("Progress"));
    m_rate = new QLabel(this);
    m_rate->setAlignment(Qt::AlignCenter);
    m_overall = new QLabel(this);
    m_overall->setAccessibleName(QStringLiteral("Whole run"));
    m_sendButton = new QPushButton(QStringLiteral("Send"), this);
    m_sendButton->setAutoDefault(false);
    m_closeButton = new QPushButton(this);
    m_closeButton->setDefault(true);
    connect(m_sendButton, &QPushButton::clicked, this, &SendFileDialog::send);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::accept);

    int listWidth = 2 * m_list->frameWidth() + m_list->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (const auto& column : kColumns)
        listWidth += column.width;
    const ui::DialogUnits units(font());
    m_list->setFixedWidth(listWidth);
    m_list->setMinimumHeight(m_list->horizontalHeader()->sizeHint().height() +
                             kVisibleRows * m_list->verticalHeader()->defaultSectionSize() + 2 * m_list->frameWidth());

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_sendButton);
    buttons->addStretch();
    buttons->addWidget(m_rate);
    buttons->addStretch();
    buttons->addWidget(m_closeButton);
    m_sendButton->setMinimumWidth(units.toPixelsX(50));
    m_closeButton->setMinimumWidth(units.toPixelsX(50));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(units.toPixelsX(7), units.toPixelsY(7), units.toPixelsX(7), units.toPixelsY(7));
    layout->addWidget(m_list);
    layout->addWidget(m_status);
    layout->addWidget(m_overall);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
    // Laid out once: no later text can resize the window.
    layout->activate();
    setFixedSize(sizeHint());
}

void SendFileDialog::fillList()
{
    for (const auto& column : kColumns)
        m_list->addColumn(QString::fromLatin1(column.heading), column.width);
    const bool songs = m_transfers.kind == TransferKind::Songs;
    // Only a song's slot is ever chosen; every other cell is shown as it is.
    m_list->setComboColumn(SlotColumn, songs);
    m_list->setChoiceProvider([this](int column) { return choicesFor(column); });
    QString mapNote = QStringLiteral("The songs named are what this computer last sent to each slot, "
                                     "from its transfer log; the keyboard itself cannot be asked.");
    if (!m_slotMap.note.empty())
        mapNote = qt(m_slotMap.note);
    else if (m_slots && m_slots->romUpdate)
        mapNote += QStringLiteral(" A ROM update on %1 may have reset the slots filled before it.")
                       .arg(qt(shortDate(*m_slots->romUpdate)));
    m_list->setChoiceToolTip(mapNote);
    connect(m_list, &ui::EditableList::cellEdited, this,
            [this](int row, int column, const QString&) { onCellEdited(row, column); });

    for (std::size_t i = 0; i < m_transfers.entries.size(); ++i) {
        const auto& entry = m_transfers.entries[i];
        const QString slot = songs ? qt(slotLabel(static_cast<int>(i) + kFirstSlot)) : QString();
        m_list->addRow({qt(entry.fileName), qt(entry.sizeText), slot, QString::fromLatin1(kSendCellText)});
    }
}

QStringList SendFileDialog::choicesFor(int column) const
{
    QStringList choices;
    if (column != SlotColumn || m_active || m_handshake)
        return choices;
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot)
        choices.append(qt(slotChoiceText(slot, m_slots)));
    return choices;
}

void SendFileDialog::onCellEdited(int row, int column)
{
    if (column != SlotColumn)
        return;
    // The cell keeps the slot's label; what it held is in the drop-down.
    const QString text = m_list->cellText(row, column);
    const QString label = qt(slotChoiceLabel(text.toStdString()));
    if (label != text)
        m_list->setCellText(row, column, label);
    markRepeatedSlots();
}

void SendFileDialog::markRepeatedSlots()
{
    if (m_handshake || m_transfers.kind != TransferKind::Songs)
        return;
    TransferList asShown = m_transfers;
    for (int row = 0; row < m_list->rowCount() && row < static_cast<int>(asShown.entries.size()); ++row) {
        if (const auto slot = parseSlotLabel(m_list->cellText(row, SlotColumn).toStdString()))
            asShown.entries[static_cast<std::size_t>(row)].slot = *slot;
    }
    std::vector<QString> marks(asShown.entries.size());
    for (const RepeatedSlot& repeat : repeatedSlots(asShown)) {
        const auto& later = asShown.entries[repeat.later].fileName;
        const auto& earlier = asShown.entries[repeat.earlier].fileName;
        marks[repeat.earlier] =
            QStringLiteral("Slot %1 is given again below: %2 replaces this song.").arg(repeat.slot).arg(qt(later));
        marks[repeat.later] =
            QStringLiteral("Slot %1 is given above too: this song replaces %2.").arg(repeat.slot).arg(qt(earlier));
    }
    for (std::size_t row = 0; row < marks.size(); ++row) {
        const QBrush background = marks[row].isEmpty() ? QBrush() : QBrush(kRepeatedSlotColour);
        for (const int column : {FileNameColumn, SlotColumn})
            m_list->setCellMark(static_cast<int>(row), column, background, marks[row]);
    }
    const std::string repeated = repeatedSlotsText(asShown);
    setStatus(repeated.empty() ? qt(text::kStatusIdle) : qt(repeated));
}

void SendFileDialog::showRowStates()
{
    const auto& records = m_recorder.records();
    std::vector<QString> states(static_cast<std::size_t>(m_list->rowCount()));
    for (std::size_t i = 0; i < records.size(); ++i) {
        const int row = m_recorder.fileOf(i);
        if (row >= 0 && row < m_list->rowCount())
            states[static_cast<std::size_t>(row)] = rowStateText(records[i].result);
    }
    const int current = m_recorder.currentFile();
    if (current >= 0 && current < m_list->rowCount())
        states[static_cast<std::size_t>(current)] = QStringLiteral("Sending");
    int done = 0;
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const QString& state = states[static_cast<std::size_t>(row)];
        if (!state.isEmpty() && state != QLatin1String("Sending"))
            ++done;
        if (!state.isEmpty())
            m_list->setCellText(row, SendColumn, state);
        const QBrush background = row == current ? QBrush(kSendingRowColour) : QBrush();
        for (const int column : {FileNameColumn, SizeColumn, SlotColumn, SendColumn})
            m_list->setCellMark(row, column, background);
    }
    m_filesDone = done;
    showOverall();
    emit rowStatesShown();
}

void SendFileDialog::showOverall()
{
    const int all = m_list->rowCount();
    QString overall = m_transfers.kind == TransferKind::Songs
                          ? QStringLiteral("%1 of %2 songs done").arg(m_filesDone).arg(all)
                          : QStringLiteral("%1 of %2 ROM images done").arg(m_filesDone).arg(all);
    const QString rate = m_rate->text();
    if (const auto left = rate.indexOf(QStringLiteral(", ")); left >= 0)
        overall += rate.mid(left); // ", 4 s left": the whole run's, as the rate label works it out
    m_overall->setText(overall);
}

void SendFileDialog::readSlotChoices()
{
    for (int column = 0; column < m_list->columnCount(); ++column)
        m_list->setComboColumn(column, false);
    if (m_transfers.kind != TransferKind::Songs)
        return;
    for (int row = 0; row < m_list->rowCount() && row < static_cast<int>(m_transfers.entries.size()); ++row) {
        // Any text other than a slot label leaves the slot as it was.
        if (const auto slot = parseSlotLabel(slotChoiceLabel(m_list->cellText(row, SlotColumn).toStdString())))
            m_transfers.entries[static_cast<std::size_t>(row)].slot = *slot;
    }
    m_session.transfers = m_transfers;
}

void SendFileDialog::setSilenceTimeout(std::chrono::milliseconds timeout) { m_silence.setInterval(timeout); }

void SendFileDialog::setRateInterval(std::chrono::milliseconds interval)
{
    m_rateTimer.setInterval(interval);
    m_stallWatch = midi::StallWatch(interval); // it looks as often as the rate is shown
}

std::filesystem::path SendFileDialog::pathOf(const std::string& fileName) const
{
    const DataFolders& folders = m_session.folders();
    return m_transfers.kind == TransferKind::Songs ? folders.songPath(fileName) : folders.romPath(fileName);
}

QString SendFileDialog::statusText() const { return m_status->text(); }

QString SendFileDialog::rateText() const { return m_rate->text(); }

QString SendFileDialog::overallText() const { return m_overall->text(); }

QColor SendFileDialog::statusColour() const { return m_status->palette().color(QPalette::WindowText); }

void SendFileDialog::setStatus(const QString& text)
{
    m_status->setFittedText(text);
    emit statusChanged(text);
}

void SendFileDialog::send()
{
    if (m_handshake || m_transfers.entries.empty())
        return;
    auto& messages = m_session.messages();
    if (m_session.outputChoice.kind == midi::PortChoice::Kind::NotChosen) {
        messages.inform(this, text::kProgramTitle, text::kOutputNotOpened, ui::MessageIcon::Stop);
        return;
    }
    if (m_session.inputChoice.kind == midi::PortChoice::Kind::NotChosen) {
        messages.inform(this, text::kProgramTitle, text::kInputNotOpened, ui::MessageIcon::Stop);
        return;
    }
    midi::MidiSystem* system = m_session.midi();
    // Refused before anything is sent: every song and ROM image has data blocks, whose command byte is 8-bit.
    if (system && !system->routeTraits(m_session.outputChoice).eightBitSysEx) {
        messages.inform(this, text::kProgramTitle, text::kRefusedEightBitRoute, ui::MessageIcon::Stop);
        return;
    }
    if (system) {
        m_input = new midi::MidiInputPump(*system, this);
        connect(m_input, &midi::MidiInputPump::shortMessage, this, &SendFileDialog::onShortMessage);
    }
    if (!m_input || !m_input->open(m_session.inputChoice)) {
        messages.inform(this, text::kUpdataTitle, text::kNoInputDevices, ui::MessageIcon::None);
        accept();
        return;
    }
    m_sendButton->setEnabled(false); // a run cannot be restarted
    readSlotChoices();

    // Each file is read once, now, and what is sent are the very bytes checked here.
    m_snapshot = takeSnapshot(m_transfers, [this](const std::string& name) { return pathOf(name); });
    if (!m_snapshot->ok()) {
        refuseSnapshot();
        return;
    }
    m_handshake = std::make_unique<TransferHandshake>(m_transfers, snapshotReader(m_snapshot));
    m_output.reset(system->openOutput(m_session.outputChoice));
    m_outputPort = system->resolve(m_session.outputChoice, midi::Direction::Output).value_or(midi::PortRef{});
    auto started = m_handshake->start();
    if (!started) {
        setStatus(qt(started.reason()));
        endTransfer();
        return;
    }
    // The whole run's file data, for the time left; a file that cannot be measured counts as empty.
    for (const TransferEntry& entry : m_transfers.entries)
        m_expectedData +=
            frame::packedLength(static_cast<std::size_t>(m_snapshot->lengthOf(entry.fileName).value_or(0)));
    if (m_session.midi())
        m_stallWatch.restart(*m_session.midi());
    m_rateTimer.start();

    m_active = true;
    m_silence.start();
    m_handling = true;
    m_recorder.observe(*started, *m_handshake, WallClock::now());
    m_list->clearSelection(); // the row under way shows in its own colour
    apply(*started);
    showRowStates();
    handlePending();
}

void SendFileDialog::refuseSnapshot()
{
    if (m_input)
        m_input->close();
    const TransferSnapshot& snapshot = *m_snapshot;
    const bool unreadable = snapshot.refusal == CheckReason::CannotOpenFile;
    setStatus(qt(std::string(text::kStatusStoppedPrefix) + snapshot.refusedFile +
                 std::string(unreadable ? text::kStatusStoppedSuffix : text::kStatusRefusedSuffix)));
    m_closeButton->setText(qt(text::kCloseAfterStop));
    auto& messages = m_session.messages();
    if (unreadable)
        messages.show(this, {std::string(text::kProgramTitle), std::string(text::kCannotOpenFileAtTurn),
                             ui::MessageIcon::Stop, ui::MessageButtons::YesNo});
    else
        messages.inform(this, text::kProgramTitle,
                        refusalText(*snapshot.refusal, snapshot.refusedFile, snapshot.refusedLength),
                        ui::MessageIcon::Stop);
}

void SendFileDialog::onShortMessage(quint32 packed)
{
    m_pending.push_back(packed);
    if (m_handling)
        return;
    m_handling = true;
    handlePending();
}

void SendFileDialog::handlePending()
{
    while (!m_pending.empty() && m_active) {
        const quint32 next = m_pending.front();
        m_pending.pop_front();
        if (m_silenceShown) {
            m_silenceShown = false;
            setStatus(m_statusBeforeSilence);
        }
        // A reply means the keyboard took everything sent before it.
        if ((next & 0xFF) == frame::kReplyStatus && m_dataSent > m_dataAnswered) {
            m_dataAnswered = m_dataSent;
            m_lastAnswerAt = std::chrono::steady_clock::now();
        }
        const auto actions = m_handshake->onShortMessage(static_cast<std::uint8_t>(next & 0xFF),
                                                         static_cast<std::uint8_t>((next >> 8) & 0xFF));
        if (m_active) {
            m_silence.start();
            if (m_session.midi())
                m_stallWatch.restart(*m_session.midi());
        }
        m_recorder.observe(actions, *m_handshake, WallClock::now());
        apply(actions);
        if (m_handshake)
            showRowStates();
    }
    m_pending.clear();
    m_handling = false;
    // What the keyboard's next reply will ask for leaves as that reply arrives, where the port can.
    if (m_active && m_handshake && m_input && m_input->connection())
        m_output.armNextOf(*m_input->connection(), *m_handshake);
}

void SendFileDialog::apply(const Actions& actions)
{
    for (const Action& action : actions) {
        // A message box below runs a nested event loop; if the user closed the
        // window meanwhile, nothing more may happen.
        if (!m_active)
            return;
        if (const auto* message = std::get_if<SendMessage>(&action)) {
            sendMessage(message->bytes);
        } else if (const auto* range = std::get_if<SetProgressRange>(&action)) {
            m_progress->setRange(0, static_cast<int>(range->maximum));
        } else if (const auto* position = std::get_if<SetProgressPosition>(&action)) {
            m_progress->setPosition(static_cast<int>(position->position));
            emit progressChanged(m_progress->position(), m_progress->maximum());
        } else if (const auto* status = std::get_if<SetStatus>(&action)) {
            setStatus(qt(status->text));
        } else if (const auto* relabel = std::get_if<RelabelClose>(&action)) {
            m_closeButton->setText(qt(relabel->text));
        } else if (std::holds_alternative<CloseInput>(action)) {
            if (m_input)
                m_input->close();
            m_silence.stop();
        } else if (std::holds_alternative<Finished>(action)) {
            endTransfer();
        } else if (const auto* stopped = std::get_if<Stopped>(&action)) {
            endTransfer();
            if (stopped->reason == StopReason::FileRefused)
                m_session.messages().inform(this, text::kProgramTitle, stopped->fileName + ": " + stopped->detail,
                                            ui::MessageIcon::Stop);
            if (stopped->reason == StopReason::FileUnreadable)
                m_session.messages().show(this,
                                          {std::string(text::kProgramTitle), std::string(text::kCannotOpenFileAtTurn),
                                           ui::MessageIcon::Stop, ui::MessageButtons::YesNo});
        }
    }
}

void SendFileDialog::sendMessage(const frame::Bytes& bytes)
{
    const bool dataBlock = bytes.size() > frame::kFrameOverhead && bytes[frame::kOffKind] == frame::kKindDataBlock &&
                           bytes[frame::kOffCommand] == frame::kCommandData;
    if (dataBlock) {
        if (m_dataSent == 0)
            m_firstDataAt = std::chrono::steady_clock::now();
        m_dataSent += bytes.size() - frame::kFrameOverhead;
    }
    // The output stays open for the run; one that could not be opened is
    // tried again with every message, as each message would open it anew.
    if (!m_output.isOpen() && m_session.midi())
        m_output.reset(m_session.midi()->openOutput(m_session.outputChoice));
    const midi::SendResult result = m_output.send(bytes);
    m_stallWatch.resume(); // a send held up by the server is no stop of this program
    if (result != midi::SendResult::Sent && m_handshake)
        m_recorder.noteFailedSend(m_handshake->songIndex()); // the keyboard may not have it whole
    switch (result) {
    case midi::SendResult::Sent:
    case midi::SendResult::PrepareFailed: // silently not sent
        break;
    case midi::SendResult::OpenFailed:
        m_session.messages().inform(this, text::kUpdataTitle, text::kNoOutputDevices, ui::MessageIcon::None);
        break;
    case midi::SendResult::SendFailed:
        m_session.messages().inform(this, text::kApplicationName, text::kSendFailed, ui::MessageIcon::None);
        break;
    }
}

void SendFileDialog::onSilence()
{
    if (!m_active || m_silenceShown)
        return;
    m_statusBeforeSilence = m_status->text();
    m_silenceShown = true;
    // Say what is known: a stopped server, a port gone, missed cycles, a
    // SysEx-mangling bridge. Else, with no ready reply yet, the likeliest cause
    // is a keyboard left in an interrupted transfer.
    const bool opening = m_handshake && m_handshake->phase() == TransferHandshake::Phase::Waiting;
    midi::Stall stall;
    if (auto* midi = m_session.midi())
        stall =
            m_stallWatch.diagnose(*midi, m_session.outputChoice, m_session.inputChoice, m_dataSent > m_dataAnswered);
    setStatus(
        qt(midi::stallNotice(stall, opening ? text::kStatusNoReadyReply : std::string_view(kStatusKeyboardSilent))));
    showRate(false);
}

void SendFileDialog::showRate(bool withTimeLeft)
{
    if (!m_handshake || m_dataAnswered == 0) {
        m_rate->clear();
        return;
    }
    // Up to the last answer: a silent keyboard freezes the rate instead of
    // stretching the time left towards days.
    auto estimate = estimateRate(m_dataAnswered, m_expectedData, m_lastAnswerAt - m_firstDataAt);
    if (!withTimeLeft || m_silenceShown)
        estimate.secondsLeft.reset();
    m_rate->setText(qt(transfer::rateText(estimate)));
    showOverall();
}

void SendFileDialog::endTransfer()
{
    const bool wasActive = m_active;
    m_active = false;
    m_rateTimer.stop();
    if (wasActive && m_handshake) {
        // Cancelled or closed midway: a song run lets the keyboard leave the transfer.
        const Actions closing = m_handshake->interrupt();
        m_recorder.observe(closing, *m_handshake, WallClock::now());
        m_output.takeBack(); // what the next reply would have released is not wanted now
        for (const Action& action : closing) {
            if (const auto* message = std::get_if<SendMessage>(&action); message && m_output.isOpen())
                (void)m_output.send(message->bytes);
        }
    }
    if (wasActive) {
        showRate(false);
        m_recorder.finish(WallClock::now());
        showRowStates();
        // The log is a convenience: a folder that cannot take it must not bother the user.
        (void)appendTransferLog(transferLogPath(m_session.folders()), m_recorder.takeNewRecords());
    }
    m_silence.stop();
    m_pending.clear();
    if (m_input)
        m_input->close();
    // Closing a JACK port waits for the server: not on the window thread.
    if (midi::MidiSystem* system = m_session.midi())
        system->closeLater(m_output.release());
    else
        m_output.reset(nullptr);
}

void SendFileDialog::done(int result)
{
    endTransfer();
    QDialog::done(result);
}

} // namespace quillon::transfer
