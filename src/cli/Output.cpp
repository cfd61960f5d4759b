#include "cli/Output.h"

namespace quillon::cli {

std::string hexLine(std::span<const std::uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string line;
    line.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0)
            line += ' ';
        line += kDigits[bytes[i] >> 4];
        line += kDigits[bytes[i] & 0x0F];
    }
    return line;
}

std::string escapeLineBreaks(std::string_view text, bool escapeBackslash)
{
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\\' && escapeBackslash)
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

} // namespace quillon::cli
