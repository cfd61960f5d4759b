#include "transfer/core/TransferHandshake.h"

#include "base/core/Messages.h"

#include <optional>
#include <utility>

namespace quillon::transfer {

namespace {
std::optional<frame::Reply> replyFor(std::uint8_t note)
{
    switch (note) {
    case static_cast<std::uint8_t>(frame::Reply::RomBlockDone):
    case static_cast<std::uint8_t>(frame::Reply::SongBlockDone):
    case static_cast<std::uint8_t>(frame::Reply::Ready):
    case static_cast<std::uint8_t>(frame::Reply::SongDone): return static_cast<frame::Reply>(note);
    default: return std::nullopt;
    }
}

std::string fileSentStatus(const std::string& fileName)
{
    return std::string(text::kStatusFileSentPrefix) + fileName + std::string(text::kStatusFileSentSuffix);
}

std::string stoppedStatus(StopReason reason, const std::string& fileName)
{
    switch (reason) {
    case StopReason::FileUnreadable:
        return std::string(text::kStatusStoppedPrefix) + fileName + std::string(text::kStatusStoppedSuffix);
    case StopReason::FileRefused:
        return std::string(text::kStatusStoppedPrefix) + fileName + std::string(text::kStatusRefusedSuffix);
    case StopReason::Interrupted: return std::string(text::kStatusInterrupted);
    }
    return {};
}

std::string cutShortStatus(const std::string& fileName)
{
    return std::string(text::kStatusFileSentPrefix) + fileName + std::string(text::kStatusCutShortSuffix);
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const auto& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}
} // namespace

TransferHandshake::TransferHandshake(TransferList list, FileReader readFile)
    : m_list(std::move(list)), m_readFile(std::move(readFile))
{
}

Result<Actions> TransferHandshake::start()
{
    if (m_phase != Phase::Idle)
        return fail("the transfer has already been started");
    if (m_list.entries.empty())
        return fail("the transfer list is empty");
    if (m_list.kind == TransferKind::RomImage && m_list.entries.size() > 1)
        return fail("a ROM update sends exactly one image");
    if (m_list.kind == TransferKind::Songs) {
        for (const auto& entry : m_list.entries) {
            if (!isValidSlot(entry.slot))
                return fail("song " + entry.fileName + " has no slot between 1 and 28");
        }
    }
    m_song = 0;
    m_block = 0;
    m_romStarted = false;
    m_phase = Phase::Waiting;
    Actions actions;
    send(frame::buildTransferControl(), actions);
    return actions;
}

Actions TransferHandshake::onShortMessage(std::uint8_t status, std::uint8_t note)
{
    // Before start the input is not open; after the end it is closed again.
    if (m_phase != Phase::Waiting && m_phase != Phase::Announced)
        return {};
    if (status != frame::kReplyStatus)
        return {};
    const auto reply = replyFor(note);
    if (!reply)
        return {};
    return m_list.kind == TransferKind::Songs ? onSongReply(*reply) : onRomReply(*reply);
}

Actions TransferHandshake::onMidiMessage(std::span<const std::uint8_t> message)
{
    if (message.size() < 2)
        return {};
    return onShortMessage(message[0], message[1]);
}

Actions TransferHandshake::onSongReply(frame::Reply reply)
{
    Actions actions;
    switch (reply) {
    case frame::Reply::Ready:
        // Also while the first song is on its way: the keyboard asks for it again.
        if (m_song == 0) {
            actions.push_back(SetStatus{std::string(text::kStatusSendingSongs)});
            if (loadEntry(0, actions))
                announce(frame::buildSongHeader(static_cast<std::uint8_t>(m_list.entries[0].slot), m_blockCount),
                         actions);
        }
        break;
    case frame::Reply::SongDone:
        if (m_phase != Phase::Announced)
            break;
        // The keyboard leads: it may end a song before all of its blocks went out
        // (or a repeated reply may look as if it did). Follow it, but such a song
        // did not arrive whole and is never counted as sent.
        if (m_block < static_cast<long long>(m_blockCount)) {
            const TransferEntry& entry = m_list.entries[static_cast<std::size_t>(m_song)];
            m_cutShort.push_back(entry.fileName);
            actions.push_back(SongCutShort{entry.fileName, entry.slot});
            actions.push_back(SetStatus{cutShortStatus(entry.fileName)});
            m_packed.reset();
        }
        if (m_song < entryCount() - 1) {
            ++m_song;
            if (loadEntry(m_song, actions))
                announce(frame::buildSongHeader(static_cast<std::uint8_t>(m_list.entries[m_song].slot), m_blockCount),
                         actions);
        } else {
            finishSongs(actions);
        }
        break;
    case frame::Reply::SongBlockDone:
        if (m_phase != Phase::Announced || m_song >= entryCount())
            break;
        if (m_block < lastBlock()) {
            sendBlock(kSongBlockTarget, actions);
            actions.push_back(SetProgressPosition{static_cast<unsigned>(m_block + 1)});
        } else if (m_block == lastBlock()) {
            sendBlock(kSongBlockTarget, actions);
            actions.push_back(SetProgressPosition{m_blockCount});
            m_packed.reset();
            actions.push_back(SetStatus{fileSentStatus(m_list.entries[m_song].fileName)});
        }
        // Past the last block a reply only counts on.
        ++m_block;
        break;
    case frame::Reply::RomBlockDone: break;
    }
    return actions;
}

Actions TransferHandshake::onRomReply(frame::Reply reply)
{
    Actions actions;
    switch (reply) {
    case frame::Reply::Ready:
        // A repeated ready reply does not restart an update under way.
        if (m_song == 0 && !m_romStarted) {
            actions.push_back(SetStatus{std::string(text::kStatusUpdatingRom)});
            if (loadEntry(0, actions)) {
                announce(frame::buildRomHeader(m_blockCount), actions);
                m_romStarted = true;
            }
        }
        break;
    case frame::Reply::RomBlockDone:
        if (!m_romStarted)
            break;
        if (m_block < lastBlock()) {
            sendBlock(frame::kRomTarget, actions);
            actions.push_back(SetProgressPosition{static_cast<unsigned>(m_block + 1)});
        } else if (m_block == lastBlock()) {
            sendBlock(frame::kRomTarget, actions);
            actions.push_back(SetProgressPosition{m_blockCount});
            actions.push_back(SetStatus{std::string(text::kStatusSucceeded)});
            m_packed.reset();
            actions.push_back(CloseInput{});
            actions.push_back(RelabelClose{
                std::string(m_lastBlockLength != 0 ? text::kCloseOkRomShortEnd : text::kCloseOkRomFullEnd)});
            actions.push_back(Finished{});
            m_phase = Phase::Finished;
        }
        ++m_block;
        break;
    case frame::Reply::SongBlockDone:
    case frame::Reply::SongDone: break;
    }
    return actions;
}

void TransferHandshake::finishSongs(Actions& actions)
{
    if (m_cutShort.empty())
        actions.push_back(SetStatus{std::string(text::kStatusSucceeded)});
    else
        actions.push_back(SetStatus{std::string(text::kStatusEndedCutShort) + joined(m_cutShort)});
    actions.push_back(RelabelClose{std::string(text::kCloseOkSongs)});
    actions.push_back(CloseInput{});
    send(frame::buildTransferControl(), actions);
    actions.push_back(Finished{});
    m_phase = Phase::Finished;
}

Actions TransferHandshake::interrupt()
{
    Actions actions;
    // Before the ready reply the keyboard may not be in this transfer at all:
    // if it was still in an interrupted one, the opening message has just ended
    // that, and a closing message now would open a new one.
    if (m_phase == Phase::Waiting)
        stop(StopReason::Interrupted, {}, {}, false, actions);
    else if (m_phase == Phase::Announced)
        stop(StopReason::Interrupted, m_list.entries[static_cast<std::size_t>(m_song)].fileName, {}, true, actions);
    return actions;
}

void TransferHandshake::stop(StopReason reason, const std::string& fileName, std::string detail,
                             bool keyboardInTransfer, Actions& actions)
{
    // Nothing of an earlier file may go out in this one's place.
    m_packed.reset();
    m_phase = Phase::Stopped;
    actions.push_back(SetStatus{stoppedStatus(reason, fileName)});
    actions.push_back(CloseInput{});
    // The keyboard is inside the song transfer: without its closing message it
    // would take the next run's opening message as this one's end.
    if (m_list.kind == TransferKind::Songs && keyboardInTransfer)
        send(frame::buildTransferControl(), actions);
    actions.push_back(RelabelClose{std::string(text::kCloseAfterStop)});
    actions.push_back(Stopped{reason, fileName, std::move(detail)});
}

bool TransferHandshake::loadEntry(int index, Actions& actions)
{
    const std::string& fileName = m_list.entries[static_cast<std::size_t>(index)].fileName;
    auto content = m_readFile ? m_readFile(fileName) : Result<frame::Bytes>(fail("no way to read files"));
    if (!content) {
        stop(StopReason::FileUnreadable, fileName, content.reason(), true, actions);
        return false;
    }
    const std::size_t packedLength = frame::packedLength(content->size());
    const unsigned blocks = frame::blockCount(packedLength);
    // A header cannot announce more blocks, and one announcing none would
    // leave the keyboard's ROM overwritten with nothing.
    if (blocks > frame::kMaxBlockCount || (blocks == 0 && m_list.kind == TransferKind::RomImage)) {
        stop(StopReason::FileRefused, fileName,
             blocks == 0 ? "the file is empty"
                         : std::to_string(content->size()) + " bytes, more than the largest that can be sent (" +
                               std::to_string(frame::largestSendableLength()) + ")",
             true, actions);
        return false;
    }
    m_packed = std::make_shared<const frame::Bytes>(frame::pack7(*content));
    m_packedLength = m_packed->size();
    m_blockCount = blocks;
    m_lastBlockLength = m_packedLength % frame::kBlockSize;
    return true;
}

void TransferHandshake::announce(frame::Bytes header, Actions& actions)
{
    send(std::move(header), actions);
    m_block = 0;
    m_phase = Phase::Announced;
    actions.push_back(SetProgressRange{m_blockCount});
    actions.push_back(SetProgressPosition{0});
}

std::optional<frame::Reply> TransferHandshake::expectedReply() const
{
    switch (m_phase) {
    case Phase::Waiting: return frame::Reply::Ready;
    case Phase::Announced:
        if (m_list.kind == TransferKind::RomImage)
            return frame::Reply::RomBlockDone;
        return m_block <= lastBlock() ? frame::Reply::SongBlockDone : frame::Reply::SongDone;
    case Phase::Idle:
    case Phase::Finished:
    case Phase::Stopped: break;
    }
    return std::nullopt;
}

std::optional<TransferHandshake::NextMessage> TransferHandshake::nextMessageOnReply() const
{
    const auto reply = expectedReply();
    if (!reply)
        return std::nullopt;
    // A copy answers the reply: the very code that will answer it for real,
    // so the two cannot disagree. Copies share the packed file.
    TransferHandshake probe = *this;
    const auto note = static_cast<std::uint8_t>(*reply);
    std::optional<frame::Bytes> message;
    for (auto& action : probe.onShortMessage(frame::kReplyStatus, note)) {
        if (auto* send = std::get_if<SendMessage>(&action)) {
            if (message)
                return std::nullopt; // more than one message: not a reply's single answer
            message = std::move(send->bytes);
        } else if (std::holds_alternative<Stopped>(action) || std::holds_alternative<SongCutShort>(action)) {
            return std::nullopt;
        }
    }
    if (!message)
        return std::nullopt;
    return NextMessage{note, std::move(*message)};
}

void TransferHandshake::sendBlock(std::uint8_t target, Actions& actions)
{
    const auto index = static_cast<unsigned>(m_block);
    send(frame::buildDataBlock(target, index, frame::blockBytes(*m_packed, index)), actions);
}

void TransferHandshake::send(frame::Bytes bytes, Actions& actions)
{
    m_bytesSent += bytes.size();
    actions.push_back(SendMessage{std::move(bytes)});
}

} // namespace quillon::transfer
