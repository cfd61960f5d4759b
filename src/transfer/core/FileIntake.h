#pragma once
// Taking in a file brought from elsewhere (dropped onto the main window, or
// given to `quillon-cli add`): read through the one way in, bounded by what
// its kind can use (a curve its file size, anything else what a transfer can
// carry), checked to be of its kind (a song a MIDI file, a curve a curve file,
// a ROM image not empty, a SysEx file a SysEx message), and only then written
// into the data folder through the one way to replace. A file refused leaves
// the data folder as it was.
#include "base/core/DroppedFiles.h"
#include "base/core/ReplaceFile.h"
#include "base/core/Result.h"

namespace quillon::transfer {

struct TakenIn {
    std::uintmax_t length = 0;
    bool format1Song = false; // a song the keyboard takes only once converted
};

// The largest file of this kind that is taken in.
std::size_t intakeLimit(base::DroppedKind kind);

// Copies the planned file, making its folder when missing; the reason when
// it is refused or cannot be written.
Result<TakenIn> takeIn(const base::DropPlan& plan, const base::WriteProgress& progress = {});

} // namespace quillon::transfer
