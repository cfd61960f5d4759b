#include "player/core/SmfWriter.h"

namespace quillon::player {

void putVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    std::uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1)
        out.push_back(static_cast<std::uint8_t>(0x80 | groups[--count]));
    out.push_back(groups[0]);
}

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int width)
{
    for (int i = width - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::uint8_t> format0File(std::uint16_t division, std::span<const std::uint8_t> trackBody)
{
    std::vector<std::uint8_t> out{'M', 'T', 'h', 'd'};
    out.reserve(22 + trackBody.size());
    putBigEndian(out, 6, 4);
    putBigEndian(out, 0, 2); // format
    putBigEndian(out, 1, 2); // one track
    putBigEndian(out, division, 2);
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    putBigEndian(out, static_cast<std::uint32_t>(trackBody.size()), 4);
    out.insert(out.end(), trackBody.begin(), trackBody.end());
    return out;
}

} // namespace quillon::player
