#pragma once
// The "Send File" window: lists the session's transfer list, lets the user
// give each song a keyboard slot, and on Send carries out the transfer.
//
// The window only applies what the transfer handshake answers (send these
// bytes, move the bar, show this status, relabel the close button, close the
// input); the keyboard's replies arrive from the MIDI input pump as queued
// signals, so the window thread never waits for the keyboard and stays
// responsive. All messages of one run go through one output connection that
// is opened at Send and kept until the run ends. Closing the window at any
// moment closes the input and sends nothing more.
//
// While sending, a label beside the buttons shows the average rate and the
// time left of the file data (the blocks' payload; control messages and
// headers do not count), worked out from what the keyboard has answered: it
// stays empty until the first block has been answered, drops the time left
// while the keyboard is silent, and shows no rate for a run that ended before
// any block was answered. When a run ends (finished, stopped, or the window closed in the
// middle) one line per file is appended to the data folder's transfer log;
// a log that cannot be written is left alone without a word.
//
// The slot drop-down names what this computer last sent to each slot of the
// chosen keyboard (the slot map of the log, read when the window opens). Two
// songs given one slot are marked and the status line says which replaces
// which; Send still sends as the rows say. While sending, the row under way is
// highlighted and each row's "Send" cell tells how its song went; a line above
// the bar counts the songs done and the time the whole run has left.
#include "midi/io/StallWatch.h"
#include "transfer/core/SlotMap.h"
#include "transfer/core/TransferHandshake.h"
#include "transfer/core/TransferReport.h"
#include "transfer/core/TransferSnapshot.h"
#include "transfer/io/PacedOutput.h"

#include <QDialog>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>

class QLabel;
class QPushButton;

namespace quillon::session {
class Session;
}
namespace quillon::midi {
class MidiInputPump;
} // namespace quillon::midi
namespace quillon::ui {
class EditableList;
class FittingLabel;
class PercentBar;
} // namespace quillon::ui

namespace quillon::transfer {

class SendFileDialog : public QDialog {
    Q_OBJECT
public:
    enum Column { FileNameColumn = 0, SizeColumn = 1, SlotColumn = 2, SendColumn = 3 };

    // Shown when the keyboard has not answered for a while; replaced again by
    // the transfer's own status as soon as it answers.
    static constexpr const char* kStatusKeyboardSilent =
        "The keyboard has not answered for a few seconds, still waiting... (Cancel stops the transfer)";
    static constexpr std::chrono::milliseconds kDefaultSilenceTimeout{5000};
    // How often the rate and time left are worked out afresh while sending.
    static constexpr std::chrono::milliseconds kDefaultRateInterval{250};

    explicit SendFileDialog(session::Session& session, QWidget* parent = nullptr);
    ~SendFileDialog() override;

    // How long without a reply before the status line says the keyboard is silent.
    void setSilenceTimeout(std::chrono::milliseconds timeout);
    void setRateInterval(std::chrono::milliseconds interval);

    void send(); // what the Send button does

    ui::EditableList& list() const { return *m_list; }
    ui::PercentBar& progress() const { return *m_progress; }
    QPushButton& sendButton() const { return *m_sendButton; }
    QPushButton& closeButton() const { return *m_closeButton; }
    QString statusText() const;
    QColor statusColour() const;
    // "5.0 KiB/s, 4 s left" while sending, the average rate alone once the
    // run has ended or while the keyboard is silent, empty before the first
    // answered block.
    QString rateText() const;
    // "1 of 3 songs done, 4 s left" while and after sending; empty before.
    QString overallText() const;
    // The rows given a slot that another row is given too.
    static const QColor kRepeatedSlotColour;
    static const QColor kSendingRowColour;
    // True from Send until the transfer finishes, stops or the window closes.
    bool isTransferring() const { return m_active; }
    const TransferHandshake* handshake() const { return m_handshake.get(); }

    void done(int result) override;

signals:
    // Every new text of the status line, and every new position of the bar.
    void statusChanged(const QString& text);
    void progressChanged(int position, int maximum);
    // The rows' "Send" cells and highlight were brought up to date.
    void rowStatesShown();

private:
    void buildControls();
    void fillList();
    // Where a listed file of this run lives.
    std::filesystem::path pathOf(const std::string& fileName) const;
    QStringList choicesFor(int column) const;
    void onCellEdited(int row, int column);
    // Marks the rows that share a slot and says so in the status line (before Send only).
    void markRepeatedSlots();
    // Each row's "Send" cell and highlight from what the recorder has settled.
    void showRowStates();
    void showOverall();
    // Slot choices of the list into the transfer list; the drop-down ends here.
    void readSlotChoices();
    void onShortMessage(quint32 packed);
    // Handles queued replies one after another; m_handling is set by the caller.
    void handlePending();
    void apply(const Actions& actions);
    void sendMessage(const frame::Bytes& bytes);
    void onSilence();
    void setStatus(const QString& text);
    void showRate(bool withTimeLeft);
    void endTransfer();
    // The snapshot taken at Send refused a file: say so; nothing is sent.
    void refuseSnapshot();

    session::Session& m_session;
    TransferList m_transfers;
    ui::EditableList* m_list = nullptr;
    ui::FittingLabel* m_status = nullptr;
    QLabel* m_rate = nullptr;
    QLabel* m_overall = nullptr;
    int m_filesDone = 0;
    SlotMap m_slotMap;
    const DeviceSlots* m_slots = nullptr; // the chosen keyboard's part of m_slotMap, if it has one
    ui::PercentBar* m_progress = nullptr;
    QPushButton* m_sendButton = nullptr;
    QPushButton* m_closeButton = nullptr;

    std::shared_ptr<const TransferSnapshot> m_snapshot;
    std::unique_ptr<TransferHandshake> m_handshake;
    transfer::PacedOutput m_output;
    midi::MidiInputPump* m_input = nullptr;
    bool m_active = false;
    // Replies that arrive while a message box of this window is open wait here,
    // so that one reply is handled completely before the next.
    std::deque<quint32> m_pending;
    bool m_handling = false;
    QTimer m_silence;
    bool m_silenceShown = false;
    QString m_statusBeforeSilence;
    midi::StallWatch m_stallWatch{kDefaultRateInterval};
    midi::PortRef m_outputPort; // whose server's clock the stall watch reads

    TransferRecorder m_recorder;
    // File data of the run: expected, sent, and answered by the keyboard.
    std::uint64_t m_expectedData = 0;
    std::uint64_t m_dataSent = 0;
    std::uint64_t m_dataAnswered = 0;
    std::chrono::steady_clock::time_point m_firstDataAt;
    std::chrono::steady_clock::time_point m_lastAnswerAt;
    QTimer m_rateTimer;
};

} // namespace quillon::transfer
