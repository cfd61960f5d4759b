#pragma once
// The editor's three slots ("Curve1" to "Curve3") that keep curves side by
// side for comparison. A slot is usable while it holds a curve and has not
// been deleted; a deleted slot stays unusable, even after a later Keep, until
// the slots are reset (Default, or a newly opened editor). Operations that
// the editor only offers for a usable slot do nothing on any other slot.
#include "curve/core/VelocityCurve.h"

#include <array>
#include <cstddef>
#include <optional>

namespace quillon::curve {

struct KeptSlot {
    KeyPoints points;
    bool kept = false;           // the slot holds a curve
    bool shown = false;          // drawn behind the working curve
    bool deleted = false;        // deleted since the last reset
    bool restorePending = false; // becomes the working curve at the next drawing
};

class KeptCurves {
public:
    static constexpr std::size_t kSlotCount = 3;

    const KeptSlot& slot(std::size_t index) const;
    bool isUsable(std::size_t index) const;

    // Stores the key-points and marks the slot as holding a curve; a deleted
    // slot stays deleted.
    void keep(std::size_t index, const KeyPoints& points);
    // The following return false (and change nothing) on a slot that is not usable.
    bool toggleShown(std::size_t index);
    bool requestRestore(std::size_t index); // this slot pending, the others not
    bool remove(std::size_t index);

    // At a drawing: the key-points of the pending slot (if any) become the
    // working key-points; no slot stays pending.
    std::optional<KeyPoints> takePendingRestore();

    // A preset or file was loaded: every slot is emptied; deletion marks stay.
    void clearForLoad();
    // A new curve was started: no restore stays pending.
    void clearForNew();
    // Default or a newly opened editor: every slot back to its first state.
    void reset();

private:
    std::array<KeptSlot, kSlotCount> m_slots{};
};

} // namespace quillon::curve
