#pragma once
// What quillon-keyboard keeps of what it received (--store DIR): slotNN.mid,
// rom.bin and curve.txt, each replaced whole (base/core/ReplaceFile.h), so a
// full disk or a crash leaves the earlier copy, never half a new one.
#include "base/core/Result.h"
#include "midi/core/KeyboardModel.h"

#include <filesystem>
#include <optional>
#include <string>

namespace quillon::keyboard_program {

class KeyboardStore {
public:
    explicit KeyboardStore(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    // Writes what this reaction completed; the path written, an empty path
    // when it completed nothing, or the reason it could not be stored.
    Result<std::filesystem::path> store(const keyboard::KeyboardModel& model, const keyboard::Reaction& reaction) const;

private:
    std::filesystem::path m_folder;
};

// What quillon-keyboard does with one message's reaction: store first, then
// the reply to send. A failed store is said on stderr and gets no reply, so
// the sender stalls instead of taking the file for stored.
std::optional<frame::Reply> storeThenReply(const KeyboardStore* store, const keyboard::KeyboardModel& model,
                                           const keyboard::Reaction& reaction);

} // namespace quillon::keyboard_program
