#include "base/core/FileNameRules.h"

namespace quillon::base {

std::optional<std::string> whyNameIsRefused(std::string_view name)
{
    if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos)
        return std::string("a name may not hold the path separators / or \\");
    if (name.find("..") != std::string_view::npos)
        return std::string("a name may not hold \"..\"");
    if (name == ".")
        return std::string("\".\" names the folder itself");
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return std::string("a name may not hold control characters such as tabs or line breaks");
    }
    if (name.size() + kAddedExtensionBytes > kMaxFileNameBytes)
        return "the name is too long (at most " + std::to_string(kMaxFileNameBytes - kAddedExtensionBytes) + " bytes)";
    return std::nullopt;
}

} // namespace quillon::base
