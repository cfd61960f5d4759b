#pragma once
// One file transfer to the keyboard as a state machine with no window in it.
// It is built when Send is pressed (after the device checks), from the transfer
// list and a way to read a file whole. start() and every short MIDI message
// from the keyboard answer with the actions the caller carries out in order:
// send these bytes, move the progress bar, show this status, relabel the close
// button, close the input. The keyboard's replies are the only clock.
//
// Guarantees: nothing is sent before start(); replies before the first file is
// announced change nothing; a file that cannot be read at its turn stops the
// transfer (input closed, status naming the file) and nothing more is sent;
// after the transfer has finished or stopped every reply is ignored. A song
// run that ends early (a file that cannot be read, or interrupt()) closes the
// keyboard's transfer with the closing control message, so the next run's
// opening message is not taken as this one's end. A song the keyboard ends
// (song-done) before all its blocks went out is followed, never counted as sent.
#include "base/core/Result.h"
#include "midi/core/DeviceFrame.h"
#include "transfer/core/TransferList.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace quillon::transfer {

// Song data blocks carry the hidden Num value, which is always 1.
inline constexpr std::uint8_t kSongBlockTarget = 1;

struct SendMessage {
    frame::Bytes bytes;
};
struct SetProgressRange {
    unsigned maximum; // the range is 0..maximum
};
struct SetProgressPosition {
    unsigned position;
};
struct SetStatus {
    std::string text;
};
struct RelabelClose {
    std::string text;
};
struct CloseInput {};
struct Finished {};
// The keyboard ended a song before all of its blocks went out.
struct SongCutShort {
    std::string fileName;
    int slot;
};
enum class StopReason {
    FileUnreadable,
    FileRefused, // the content cannot be announced (no blocks, or more than a header can count)
    Interrupted, // interrupt(): the user cancelled or closed the window
};
struct Stopped {
    StopReason reason;
    std::string fileName;
    std::string detail; // the reader's own reason
};

using Action = std::variant<SendMessage, SetProgressRange, SetProgressPosition, SetStatus, RelabelClose, CloseInput,
                            Finished, Stopped, SongCutShort>;
using Actions = std::vector<Action>;

class TransferHandshake {
public:
    // Given an entry's file name, the whole file or a reason.
    using FileReader = std::function<Result<frame::Bytes>(const std::string& fileName)>;

    enum class Phase {
        Idle,      // built, start() not called
        Waiting,   // control message sent, no file announced yet
        Announced, // a file has been announced; blocks follow on the replies
        Finished,  // last song done or last ROM block sent; input closed
        Stopped,   // a file could not be read or the run was interrupted; input closed
    };

    TransferHandshake(TransferList list, FileReader readFile);

    // Sends the control message. Refused (nothing happens) for an empty list,
    // a ROM list of more than one image, a song slot outside 1..28, or a second call.
    Result<Actions> start();

    // A short message from the keyboard: only Note On (status 0x90) counts, and
    // only its note number; the velocity is not looked at.
    Actions onShortMessage(std::uint8_t status, std::uint8_t note);
    // The same for a short message as it arrived (status, note, velocity);
    // shorter messages are ignored. A Note On with velocity 0 counts like any other.
    Actions onMidiMessage(std::span<const std::uint8_t> message);
    // Ends a run under way (Cancel, window closed): a song run the keyboard
    // has answered sends the closing control message, a ROM update sends
    // nothing more. Nothing before start() or after the end.
    Actions interrupt();

    // The message that the reply a keyboard going on as asked sends next
    // (note replyNote: ready after the opening, block received, song done
    // after a song's last block) would make onShortMessage() send, when that
    // reply is answered with that one message and the run goes on; none
    // otherwise. A port may send it the moment that reply arrives: the
    // keyboard sees the same bytes. The file reader must give the same bytes
    // each time it is asked (a snapshot), as the answer may read a file.
    struct NextMessage {
        std::uint8_t replyNote;
        frame::Bytes bytes;
    };
    std::optional<NextMessage> nextMessageOnReply() const;

    Phase phase() const { return m_phase; }
    bool isFinished() const { return m_phase == Phase::Finished; }
    bool isStopped() const { return m_phase == Phase::Stopped; }
    const TransferList& list() const { return m_list; }
    int songIndex() const { return m_song; }         // entry being sent
    long long blockIndex() const { return m_block; } // next block to send
    unsigned blockCount() const { return m_blockCount; }
    std::size_t packedLength() const { return m_packedLength; } // of the current file
    std::uint64_t bytesSent() const { return m_bytesSent; }     // every message byte so far
    // Songs the keyboard ended before all of their blocks went out, in order.
    const std::vector<std::string>& cutShortSongs() const { return m_cutShort; }

private:
    std::optional<frame::Reply> expectedReply() const;
    Actions onSongReply(frame::Reply reply);
    Actions onRomReply(frame::Reply reply);
    // Loads entry i, packing it; on failure stops the transfer and says so in actions.
    bool loadEntry(int index, Actions& actions);
    // Ends the run; keyboardInTransfer: it answered the opening, so a song run closes it.
    void stop(StopReason reason, const std::string& fileName, std::string detail, bool keyboardInTransfer,
              Actions& actions);
    void finishSongs(Actions& actions);
    void announce(frame::Bytes header, Actions& actions);
    void sendBlock(std::uint8_t target, Actions& actions);
    void send(frame::Bytes bytes, Actions& actions);
    int entryCount() const { return static_cast<int>(m_list.entries.size()); }
    long long lastBlock() const { return static_cast<long long>(m_blockCount) - 1; }

    TransferList m_list;
    FileReader m_readFile;
    Phase m_phase = Phase::Idle;
    int m_song = 0;
    long long m_block = 0;
    unsigned m_blockCount = 0;
    std::size_t m_lastBlockLength = 0;
    std::size_t m_packedLength = 0;
    std::shared_ptr<const frame::Bytes> m_packed; // shared with copies (nextMessageOnReply)
    bool m_romStarted = false;
    std::uint64_t m_bytesSent = 0;
    std::vector<std::string> m_cutShort;
};

} // namespace quillon::transfer
