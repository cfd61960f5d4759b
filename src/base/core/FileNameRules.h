#pragma once
// Which typed names may become a file in the data folder. A name is refused
// when it could reach outside its folder (a path separator, "..") or when the
// file system could not store it (control characters, too long for one name
// once the longest extension the program adds is appended).
#include <optional>
#include <string>
#include <string_view>

namespace quillon::base {

// Longest name, in UTF-8 bytes, one file may have (extension included).
inline constexpr std::size_t kMaxFileNameBytes = 255;
// The longest extension a saved name is given (".crv", ".syx").
inline constexpr std::size_t kAddedExtensionBytes = 4;

// Nothing when the name may be used; otherwise why not, in plain words.
// The empty name is accepted here: the prompt reports it with its own text.
std::optional<std::string> whyNameIsRefused(std::string_view utf8Name);

} // namespace quillon::base
