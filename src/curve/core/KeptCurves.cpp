#include "curve/core/KeptCurves.h"

namespace quillon::curve {

namespace {
const KeptSlot kNoSlot{};
}

const KeptSlot& KeptCurves::slot(std::size_t index) const { return index < kSlotCount ? m_slots[index] : kNoSlot; }

bool KeptCurves::isUsable(std::size_t index) const
{
    return index < kSlotCount && m_slots[index].kept && !m_slots[index].deleted;
}

void KeptCurves::keep(std::size_t index, const KeyPoints& points)
{
    if (index >= kSlotCount)
        return;
    m_slots[index].points = points;
    m_slots[index].kept = true;
}

bool KeptCurves::toggleShown(std::size_t index)
{
    if (!isUsable(index))
        return false;
    m_slots[index].shown = !m_slots[index].shown;
    return true;
}

bool KeptCurves::requestRestore(std::size_t index)
{
    if (!isUsable(index))
        return false;
    for (std::size_t i = 0; i < kSlotCount; ++i)
        m_slots[i].restorePending = (i == index);
    return true;
}

bool KeptCurves::remove(std::size_t index)
{
    if (!isUsable(index))
        return false;
    KeptSlot& slot = m_slots[index];
    slot.deleted = true;
    slot.shown = false;
    slot.kept = false;
    slot.restorePending = false;
    return true;
}

std::optional<KeyPoints> KeptCurves::takePendingRestore()
{
    std::optional<KeyPoints> restored;
    for (KeptSlot& slot : m_slots) {
        if (slot.restorePending) {
            restored = slot.points;
            slot.restorePending = false;
        }
    }
    return restored;
}

void KeptCurves::clearForLoad()
{
    for (KeptSlot& slot : m_slots) {
        slot.kept = false;
        slot.shown = false;
        slot.restorePending = false;
        slot.points.x.fill(0);
    }
}

void KeptCurves::clearForNew()
{
    for (KeptSlot& slot : m_slots)
        slot.restorePending = false;
}

void KeptCurves::reset()
{
    for (KeptSlot& slot : m_slots) {
        slot.kept = false;
        slot.shown = false;
        slot.deleted = false;
        slot.restorePending = false;
        slot.points.x.fill(0);
    }
}

} // namespace quillon::curve
