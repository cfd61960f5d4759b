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

std::string stoppedStatus(const std::string& fileName)
{
    return std::string(text::kStatusStoppedPrefix) + fileName + std::string(text::kStatusStoppedSuffix);
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
        // Straight after a header, before any of its blocks went out, a song-done
        // reply cannot be about this song: it is a repeat of the one that asked for
        // the header. Taking it would skip the song, or claim success without it.
        if (m_block == 0 && m_blockCount > 0)
            break;
        // Moves on even when blocks of the current song are still unsent.
        if (m_song < entryCount() - 1) {
            ++m_song;
            if (loadEntry(m_song, actions))
                announce(frame::buildSongHeader(static_cast<std::uint8_t>(m_list.entries[m_song].slot), m_blockCount),
                         actions);
        } else {
            actions.push_back(SetStatus{std::string(text::kStatusSucceeded)});
            actions.push_back(RelabelClose{std::string(text::kCloseOkSongs)});
            actions.push_back(CloseInput{});
            send(frame::buildTransferControl(), actions);
            actions.push_back(Finished{});
            m_phase = Phase::Finished;
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
            m_packed = {};
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
            m_packed = {};
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

bool TransferHandshake::loadEntry(int index, Actions& actions)
{
    const std::string& fileName = m_list.entries[static_cast<std::size_t>(index)].fileName;
    auto content = m_readFile ? m_readFile(fileName) : Result<frame::Bytes>(fail("no way to read files"));
    if (!content) {
        // Nothing of an earlier file may go out in this one's place.
        m_packed = {};
        m_phase = Phase::Stopped;
        actions.push_back(SetStatus{stoppedStatus(fileName)});
        actions.push_back(CloseInput{});
        actions.push_back(RelabelClose{std::string(text::kCloseAfterStop)});
        actions.push_back(Stopped{StopReason::FileUnreadable, fileName, content.reason()});
        return false;
    }
    m_packed = frame::pack7(*content);
    m_packedLength = m_packed.size();
    m_blockCount = frame::blockCount(m_packedLength);
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

void TransferHandshake::sendBlock(std::uint8_t target, Actions& actions)
{
    const auto index = static_cast<unsigned>(m_block);
    send(frame::buildDataBlock(target, index, frame::blockBytes(m_packed, index)), actions);
}

void TransferHandshake::send(frame::Bytes bytes, Actions& actions)
{
    m_bytesSent += bytes.size();
    actions.push_back(SendMessage{std::move(bytes)});
}

} // namespace quillon::transfer
