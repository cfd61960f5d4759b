#include "midi/core/KeyboardModel.h"

#include <algorithm>

namespace quillon::keyboard {

using namespace frame;

namespace {

constexpr std::size_t kCurveEntries = 128;

std::string slotName(int slot) { return "song slot " + std::to_string(slot); }

std::string itemName(int kindIsSong, int slot) { return kindIsSong ? slotName(slot) : std::string("ROM image"); }

} // namespace

std::string_view errorKindName(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::MalformedFrame: return "malformed frame";
    case ErrorKind::BlockOutOfOrder: return "block out of order";
    case ErrorKind::BlockCountMismatch: return "block count mismatch";
    case ErrorKind::OutOfSequence: return "out of sequence";
    }
    return "unknown";
}

std::optional<Bytes> KeyboardModel::song(int slot) const
{
    const auto found = m_songs.find(slot);
    if (found == m_songs.end())
        return std::nullopt;
    return found->second;
}

Reaction KeyboardModel::reject(ErrorKind kind, std::string detail)
{
    Reaction reaction;
    reaction.error = true;
    m_errors.push_back({kind, std::move(detail)});
    reaction.event = lastErrorReaction().event;
    return reaction;
}

Reaction KeyboardModel::lastErrorReaction() const
{
    const ProtocolError& last = m_errors.back();
    return {std::nullopt, "error: " + std::string(errorKindName(last.kind)) + ": " + last.detail, true};
}

Reaction KeyboardModel::feed(std::span<const std::uint8_t> message)
{
    if (message.size() < kFrameOverhead)
        return reject(ErrorKind::MalformedFrame,
                      "message of " + std::to_string(message.size()) + " bytes is too short");
    if (message.front() != kSysExStart || message.back() != kSysExEnd)
        return reject(ErrorKind::MalformedFrame, "missing SysEx start or end byte");
    if (!std::equal(std::begin(kManufacturer), std::end(kManufacturer), message.begin() + 1))
        return reject(ErrorKind::MalformedFrame, "wrong manufacturer identifier");
    // Every byte between start and end is 7-bit, except the command byte (0x89 for data blocks).
    const auto sevenBit = [](std::span<const std::uint8_t> bytes) {
        return std::none_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b >= 0x80; });
    };
    if (!sevenBit(message.subspan(1, kOffCommand - 1)))
        return reject(ErrorKind::MalformedFrame, "a head byte has its top bit set");
    if (!sevenBit(message.subspan(kHeadLength, message.size() - kFrameOverhead)))
        return reject(ErrorKind::MalformedFrame, "a payload byte has its top bit set");
    if (message[4] != 0x00 || message[6] != 0x00)
        return reject(ErrorKind::MalformedFrame, "fixed head bytes are not zero");

    const std::uint8_t family = message[kOffFamily];
    const std::uint8_t kind = message[kOffKind];
    const std::uint8_t subKind = message[kOffSubKind];
    const std::uint8_t target = message[kOffTarget];
    const unsigned number = (unsigned(message[kOffNumberHigh]) << 7) | message[kOffNumberLow];
    const std::uint8_t command = message[kOffCommand];
    const auto payload = message.subspan(kHeadLength, message.size() - kFrameOverhead);

    if (family == kFamilyControl && kind == kKindControl && subKind == 0 && target == 0x01 && number == 1 &&
        command == kCommandControl && payload.empty())
        return onControl();
    if (family == kFamilyControl && kind == kKindCurve && subKind == 0x01 && target == kRomTarget && number == 1 &&
        command == kCommandControl && payload.size() == kCurveEntries)
        return onCurve(payload);
    if (family == kFamilyTransfer && kind == kKindSongHeader && subKind == 0 && target >= 1 && target <= kMaxSlots &&
        command == kCommandControl && payload.empty())
        return onHeader(ItemKind::Song, target, number);
    if (family == kFamilyTransfer && kind == kKindRomHeader && subKind == 0 && target == kRomTarget &&
        command == kCommandControl && payload.empty())
        return onHeader(ItemKind::Rom, 0, number);
    if (family == kFamilyTransfer && kind == kKindDataBlock && subKind == 0 && command == kCommandData &&
        !payload.empty() && payload.size() <= kBlockSize)
        return onBlock(target, number, payload);
    return reject(ErrorKind::MalformedFrame, "unknown message (family " + std::to_string(family) + ", kind " +
                                                 std::to_string(kind) + ", command " + std::to_string(command) + ", " +
                                                 std::to_string(payload.size()) + " payload bytes)");
}

bool KeyboardModel::abandonIncompleteItem(std::string_view cause)
{
    if (m_item.kind == ItemKind::None || m_item.complete())
        return false;
    m_errors.push_back({ErrorKind::BlockCountMismatch,
                        itemName(m_item.kind == ItemKind::Song, m_item.slot) + ": " + std::string(cause) + " after " +
                            std::to_string(m_item.received) + " of " + std::to_string(m_item.blocks) + " blocks"});
    m_item = {};
    return true;
}

Reaction KeyboardModel::onControl()
{
    if (!m_transferOpen) {
        m_transferOpen = true;
        m_item = {};
        return {Reply::Ready, "transfer opened", false};
    }
    m_transferOpen = false;
    if (abandonIncompleteItem("transfer closed"))
        return lastErrorReaction();
    m_item = {};
    return {std::nullopt, "transfer closed", false};
}

Reaction KeyboardModel::onCurve(std::span<const std::uint8_t> payload)
{
    CurveTable table{};
    std::copy(payload.begin(), payload.end(), table.begin());
    m_curve = table;
    return {std::nullopt, "curve stored", false, Stored::Curve, 0};
}

Reaction KeyboardModel::onHeader(ItemKind kind, int slot, unsigned blocks)
{
    const std::string name = itemName(kind == ItemKind::Song, slot);
    if (!m_transferOpen)
        return reject(ErrorKind::OutOfSequence, name + " header outside a transfer");
    if (abandonIncompleteItem("next header arrived"))
        return lastErrorReaction();

    m_item = {kind, slot, blocks, 0, {}};
    const std::string event = name + " header: " + std::to_string(blocks) + " blocks";
    if (kind == ItemKind::Song && m_endSongsAfter == 0u && blocks > 0)
        return endSongEarly(event);
    if (blocks > 0)
        return {kind == ItemKind::Song ? Reply::SongBlockDone : Reply::RomBlockDone, event, false};
    Reaction done = finishItem();
    done.event = event + "; " + done.event;
    return done;
}

Reaction KeyboardModel::onBlock(std::uint8_t target, unsigned index, std::span<const std::uint8_t> payload)
{
    if (!m_transferOpen)
        return reject(ErrorKind::OutOfSequence, "data block " + std::to_string(index) + " outside a transfer");
    if (m_item.kind == ItemKind::None)
        return reject(ErrorKind::OutOfSequence, "data block " + std::to_string(index) + " before any header");

    const bool song = m_item.kind == ItemKind::Song;
    const std::string name = itemName(song, m_item.slot);
    if (song ? (target < 1 || target > 16) : target != kRomTarget)
        return reject(ErrorKind::MalformedFrame, name + ": data block with target " + std::to_string(target));
    if (m_item.complete())
        return reject(ErrorKind::BlockCountMismatch, name + ": block " + std::to_string(index) + " beyond the " +
                                                         std::to_string(m_item.blocks) + " announced");
    if (index != m_item.received)
        return reject(ErrorKind::BlockOutOfOrder, name + ": block " + std::to_string(index) + " while expecting " +
                                                      std::to_string(m_item.received));
    const bool last = index + 1 == m_item.blocks;
    if (!last && payload.size() != kBlockSize)
        return reject(ErrorKind::MalformedFrame, name + ": block " + std::to_string(index) + " carries " +
                                                     std::to_string(payload.size()) + " bytes before the last");

    m_item.packed.insert(m_item.packed.end(), payload.begin(), payload.end());
    ++m_item.received;
    const std::string event = name + ": block " + std::to_string(index + 1) + "/" + std::to_string(m_item.blocks);
    if (song && !last && m_endSongsAfter == m_item.received)
        return endSongEarly(event);
    if (!last)
        return {song ? Reply::SongBlockDone : Reply::RomBlockDone, event, false};
    Reaction done = finishItem();
    done.event = event + "; " + done.event;
    return done;
}

Reaction KeyboardModel::endSongEarly(std::string event)
{
    event += "; song ended after " + std::to_string(m_item.received) + " of " + std::to_string(m_item.blocks) +
             " blocks, nothing stored";
    // The slot keeps what it held; the sender is told to go on to its next song.
    m_item = {};
    return {Reply::SongDone, std::move(event), false};
}

Reaction KeyboardModel::finishItem()
{
    Bytes data = unpack7(m_item.packed);
    m_item.packed = {};
    const std::size_t size = data.size();
    if (m_item.kind == ItemKind::Song) {
        m_songs[m_item.slot] = std::move(data);
        return {Reply::SongDone, slotName(m_item.slot) + " stored: " + std::to_string(size) + " bytes", false,
                Stored::Song, m_item.slot};
    }
    // A ROM update ends without a closing control message: the transfer is over.
    m_rom = std::move(data);
    m_transferOpen = false;
    return {std::nullopt, "ROM image stored: " + std::to_string(size) + " bytes", false, Stored::Rom, 0};
}

} // namespace quillon::keyboard
