// The transfer handshake fed a set-up and a random stream of keyboard replies
// (HandshakeInput.h reads them). A shadow of the transfer checks each action:
//   - every message sent is a well-formed frame;
//   - headers announce the file's true block count and slot;
//   - data blocks go out in order, never past the count, each carrying exactly
//     the packed bytes of its place in the current file;
//   - nothing is sent after Finished or Stopped, and each happens at most once;
//   - at the end every song was announced, and each that did not have all its
//     blocks sent is named as cut short; success is claimed only without such;
//   - a stop names an unreadable file, or an empty ROM image that cannot be announced;
//   - a progress position never exceeds its range;
//   - a keyboard model fed everything sent stores only exact file contents.
#include "base/core/Messages.h"
#include "midi/core/DeviceFrame.h"
#include "midi/core/KeyboardModel.h"
#include "transfer/core/TransferHandshake.h"

#include "FuzzCheck.h"
#include "HandshakeInput.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

using namespace quillon;
using namespace quillon::transfer;
using frame::Bytes;

namespace {

bool wellFormed(const Bytes& m)
{
    if (m.size() < frame::kFrameOverhead || m.size() > frame::kFrameOverhead + frame::kBlockSize)
        return false;
    if (m.front() != frame::kSysExStart || m.back() != frame::kSysExEnd)
        return false;
    if (!std::equal(std::begin(frame::kManufacturer), std::end(frame::kManufacturer), m.begin() + 1))
        return false;
    const std::uint8_t command = m[frame::kOffCommand];
    if (command != frame::kCommandControl && command != frame::kCommandData)
        return false;
    for (std::size_t i = 1; i + 1 < m.size(); ++i) {
        if (i != frame::kOffCommand && m[i] >= 0x80)
            return false;
    }
    return true;
}

bool claimsSuccess(const Actions& actions)
{
    return std::any_of(actions.begin(), actions.end(), [](const Action& action) {
        const auto* status = std::get_if<SetStatus>(&action);
        return status && status->text == text::kStatusSucceeded;
    });
}

unsigned numberOf(const Bytes& m) { return (unsigned{m[frame::kOffNumberHigh]} << 7) | m[frame::kOffNumberLow]; }

struct Shadow {
    TransferKind kind = TransferKind::Songs;
    std::vector<std::optional<Bytes>> files; // nothing: unreadable
    std::vector<int> slots;
    std::optional<std::size_t> current;            // entry whose header went out last
    std::map<std::size_t, unsigned> blocksSentFor; // by entry, since its latest header
    Bytes packed;
    unsigned blocks = 0;
    unsigned nextBlock = 0;
    bool ended = false;
    unsigned messages = 0;
    std::uint64_t bytesSent = 0;
    std::optional<unsigned> progressRange;
    keyboard::KeyboardModel keyboard;

    void checkSent(const Bytes& m, std::size_t songIndex)
    {
        FUZZ_CHECK(wellFormed(m));
        ++messages;
        bytesSent += m.size();
        const std::uint8_t kind = m[frame::kOffKind];
        if (kind == frame::kKindControl) {
            FUZZ_CHECK(m == frame::buildTransferControl());
        } else if (kind == frame::kKindSongHeader || kind == frame::kKindRomHeader) {
            FUZZ_CHECK((kind == frame::kKindSongHeader) == (this->kind == TransferKind::Songs));
            FUZZ_CHECK(songIndex < files.size() && files[songIndex].has_value());
            current = songIndex;
            blocksSentFor[songIndex] = 0;
            packed = frame::pack7(*files[songIndex]);
            blocks = frame::blockCount(packed.size());
            nextBlock = 0;
            FUZZ_CHECK(numberOf(m) == (blocks & 0x3FFF));
            if (kind == frame::kKindSongHeader)
                FUZZ_CHECK(m[frame::kOffTarget] == slots[songIndex]);
        } else {
            FUZZ_CHECK(kind == frame::kKindDataBlock);
            FUZZ_CHECK(current.has_value());
            FUZZ_CHECK(numberOf(m) == nextBlock);
            FUZZ_CHECK(nextBlock < blocks);
            const auto expected = frame::blockBytes(packed, nextBlock);
            FUZZ_CHECK(m.size() == expected.size() + frame::kFrameOverhead);
            FUZZ_CHECK(std::equal(expected.begin(), expected.end(), m.begin() + frame::kHeadLength));
            FUZZ_CHECK(m[frame::kOffTarget] == (this->kind == TransferKind::Songs ? 1 : frame::kRomTarget));
            ++nextBlock;
            ++blocksSentFor[*current];
        }

        const keyboard::Reaction reaction = keyboard.feed(m);
        if (reaction.stored == keyboard::Stored::Song) {
            FUZZ_CHECK(current.has_value());
            FUZZ_CHECK(keyboard.song(reaction.slot) == files[*current]);
        } else if (reaction.stored == keyboard::Stored::Rom) {
            FUZZ_CHECK(keyboard.romImage() == files[0]);
        }
    }

    void check(const Actions& actions, const TransferHandshake& handshake)
    {
        for (const Action& action : actions) {
            if (const auto* send = std::get_if<SendMessage>(&action)) {
                FUZZ_CHECK(!ended);
                checkSent(send->bytes, static_cast<std::size_t>(handshake.songIndex()));
            } else if (const auto* range = std::get_if<SetProgressRange>(&action)) {
                progressRange = range->maximum;
            } else if (const auto* position = std::get_if<SetProgressPosition>(&action)) {
                FUZZ_CHECK(progressRange.has_value() && position->position <= *progressRange);
            } else if (std::holds_alternative<Finished>(action)) {
                FUZZ_CHECK(!ended);
                ended = true;
                FUZZ_CHECK(handshake.isFinished());
                if (kind == TransferKind::Songs) {
                    FUZZ_CHECK(current == files.size() - 1);
                    const auto& cutShort = handshake.cutShortSongs();
                    for (std::size_t i = 0; i < files.size(); ++i) {
                        FUZZ_CHECK(blocksSentFor.count(i) == 1);
                        const bool whole = blocksSentFor[i] == frame::blockCount(frame::packedLength(files[i]->size()));
                        const bool named =
                            std::find(cutShort.begin(), cutShort.end(), "file" + std::to_string(i)) != cutShort.end();
                        FUZZ_CHECK(whole || named);
                    }
                    FUZZ_CHECK(claimsSuccess(actions) == cutShort.empty());
                } else
                    FUZZ_CHECK(nextBlock == blocks);
            } else if (const auto* stopped = std::get_if<Stopped>(&action)) {
                FUZZ_CHECK(!ended);
                ended = true;
                FUZZ_CHECK(handshake.isStopped());
                const auto index = static_cast<std::size_t>(handshake.songIndex());
                FUZZ_CHECK(index < files.size());
                if (stopped->reason == StopReason::FileRefused)
                    FUZZ_CHECK(kind == TransferKind::RomImage && files[index].has_value() && files[index]->empty());
                else
                    FUZZ_CHECK(stopped->reason == StopReason::FileUnreadable && !files[index].has_value());
                FUZZ_CHECK(stopped->fileName == "file" + std::to_string(index));
            }
        }
        FUZZ_CHECK(handshake.bytesSent() == bytesSent);
        FUZZ_CHECK(ended == (handshake.isFinished() || handshake.isStopped()));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const fuzzing::HandshakeSetup setup = fuzzing::decodeSetup({data, size});
    Shadow shadow;
    shadow.kind = setup.list.kind;
    shadow.files = setup.files;
    for (const auto& entry : setup.list.entries)
        shadow.slots.push_back(entry.slot);
    TransferHandshake handshake(setup.list, setup.reader());

    // Replies before start change nothing.
    FUZZ_CHECK(handshake.onShortMessage(frame::kReplyStatus, static_cast<std::uint8_t>(frame::Reply::Ready)).empty());
    auto started = handshake.start();
    FUZZ_CHECK(started.ok());
    FUZZ_CHECK(frame::buildTransferControl() == std::get<SendMessage>(started->front()).bytes);
    shadow.check(*started, handshake);
    FUZZ_CHECK(!handshake.start().ok());

    std::size_t at = setup.replyStart;
    while (at < size) {
        const std::uint8_t r = data[at++];
        Actions actions;
        if (r < 0xC0) {
            actions =
                handshake.onShortMessage(frame::kReplyStatus, static_cast<std::uint8_t>(fuzzing::kReplyCodes[r & 3]));
        } else if (r < 0xE0) {
            // Any other note, or any status: most are to be ignored.
            const std::uint8_t note = at < size ? data[at++] : 0;
            actions = handshake.onShortMessage((r & 1) ? frame::kReplyStatus : static_cast<std::uint8_t>(note | 0x80),
                                               note & 0x7F);
        } else {
            // A message as it arrived, of length 0..3 taken from the input.
            const std::size_t length = std::min<std::size_t>(r & 3, size - at);
            actions = handshake.onMidiMessage(std::span<const std::uint8_t>(data + at, length));
            at += length;
        }
        shadow.check(actions, handshake);
        FUZZ_CHECK(handshake.blockIndex() >= 0);
    }
    return 0;
}
