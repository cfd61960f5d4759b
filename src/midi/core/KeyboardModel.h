#pragma once
// The keyboard as seen from the cable: it takes complete SysEx messages one
// at a time, checks each frame, follows the transfer handshake, unpacks and
// keeps what it received, and says which Note On reply (if any) the real
// keyboard would send back. It never sends anything itself, so the same
// model runs inside the program, behind virtual ports and in tests.
//
// Protocol errors (bad frame, block out of order, block count disagreeing
// with the header, message out of sequence) are recorded and answered with
// no reply: the sender stalls exactly as it would in front of a real keyboard.
// Not thread-safe; the owner serialises access.
#include "midi/core/DeviceFrame.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon::keyboard {

enum class ErrorKind {
    MalformedFrame,     // start/end byte, manufacturer, head, 8-bit payload byte, unknown message
    BlockOutOfOrder,    // a block index other than the next one expected
    BlockCountMismatch, // more or fewer blocks than the header announced
    OutOfSequence,      // a header or block outside a transfer, or a block before any header
};

struct ProtocolError {
    ErrorKind kind;
    std::string detail;
};

std::string_view errorKindName(ErrorKind kind);

using CurveTable = std::array<std::uint8_t, 128>;

enum class Stored { Nothing, Song, Rom, Curve };

// What one message did.
struct Reaction {
    std::optional<frame::Reply> reply; // the Note On the keyboard answers with
    std::string event;                 // one human-readable line
    bool error = false;
    Stored stored = Stored::Nothing; // what this message completed
    int slot = 0;                    // for Stored::Song
};

class KeyboardModel {
public:
    KeyboardModel() = default;
    // A keyboard that runs out of song memory: it ends every song after this
    // many data blocks with the song-done reply and keeps nothing of it (a
    // song of no more blocks arrives whole). For trying how a sender copes.
    explicit KeyboardModel(unsigned endSongsAfterBlocks) : m_endSongsAfter(endSongsAfterBlocks) {}

    Reaction feed(std::span<const std::uint8_t> message);

    bool transferOpen() const { return m_transferOpen; }
    const std::map<int, frame::Bytes>& songs() const { return m_songs; }
    std::optional<frame::Bytes> song(int slot) const;
    const std::optional<frame::Bytes>& romImage() const { return m_rom; }
    const std::optional<CurveTable>& curve() const { return m_curve; }
    const std::vector<ProtocolError>& errors() const { return m_errors; }

private:
    enum class ItemKind { None, Song, Rom };
    struct Item {
        ItemKind kind = ItemKind::None;
        int slot = 0;
        unsigned blocks = 0;
        unsigned received = 0;
        frame::Bytes packed;
        bool complete() const { return received == blocks; }
    };

    Reaction onControl();
    Reaction onCurve(std::span<const std::uint8_t> payload);
    Reaction onHeader(ItemKind kind, int slot, unsigned blocks);
    Reaction onBlock(std::uint8_t target, unsigned index, std::span<const std::uint8_t> payload);
    Reaction finishItem();
    // The song ended by the keyboard before its last block: the reply, nothing kept.
    Reaction endSongEarly(std::string event);
    Reaction reject(ErrorKind kind, std::string detail);
    Reaction lastErrorReaction() const;
    // Records a song or ROM left with fewer blocks than announced; true when there was one.
    bool abandonIncompleteItem(std::string_view cause);

    std::optional<unsigned> m_endSongsAfter;
    bool m_transferOpen = false;
    Item m_item;
    std::map<int, frame::Bytes> m_songs;
    std::optional<frame::Bytes> m_rom;
    std::optional<CurveTable> m_curve;
    std::vector<ProtocolError> m_errors;
};

} // namespace quillon::keyboard
