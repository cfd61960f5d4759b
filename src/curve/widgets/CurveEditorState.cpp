#include "curve/widgets/CurveEditorState.h"

#include <cmath>
#include <cstdlib>

namespace quillon::curve {

CurveEditorState::CurveEditorState() { reset(); }

void CurveEditorState::reset()
{
    m_working.setDefaultKeyPoints();
    m_working.computeTable();
    m_slots.reset();
}

void CurveEditorState::forgetDrag()
{
    m_dragging = false;
    m_dragIndex = -1;
    m_dragKind = DragKind::Middle;
}

bool CurveEditorState::press(int dx)
{
    m_dragIndex = -1;
    const KeyPoints& points = m_working.keyPoints();
    for (int i = 0; i < static_cast<int>(kKeyPointCount); ++i) {
        if (std::abs(points.x[static_cast<std::size_t>(i)] * kScaleX - dx) >= 4)
            continue;
        m_dragIndex = i;
        m_dragging = true;
        m_leftNeighbour = i - 1;
        if (i == 0) {
            m_rightNeighbour = 1;
            m_dragKind = DragKind::First;
        } else if (i == static_cast<int>(kKeyPointCount) - 1) {
            m_rightNeighbour = i;
            m_dragKind = DragKind::Last;
        } else {
            m_rightNeighbour = i + 1;
            m_dragKind = DragKind::Middle;
        }
        return true;
    }
    return false;
}

bool CurveEditorState::moveTo(int dx, int dy)
{
    if (!m_dragging || m_dragIndex < 0)
        return false;
    constexpr int kHeight = kMaxVelocity * kScaleY;
    // Above the area counts as the top, below it as the bottom.
    const int pixelsUp = dy < 0 ? kHeight : (dy > kHeight ? 0 : kHeight - dy);
    const auto newY = static_cast<std::int32_t>(pixelsUp / kScaleY);
    auto newX = static_cast<std::int32_t>(std::trunc(static_cast<double>(dx) / kScaleX));

    KeyPoints points = m_working.keyPoints();
    const auto index = static_cast<std::size_t>(m_dragIndex);
    switch (m_dragKind) {
    case DragKind::Middle: {
        const std::int32_t left = points.x[static_cast<std::size_t>(m_leftNeighbour)];
        const std::int32_t right = points.x[static_cast<std::size_t>(m_rightNeighbour)];
        if (newX <= left)
            newX = left + 1;
        else if (newX >= right)
            newX = right - 1;
        points.x[index] = newX;
        points.y[index] = newY;
        break;
    }
    case DragKind::Last: points.y[index] = newY; break;
    case DragKind::First: points.y[index] = newY; break;
    }
    m_working.setKeyPoints(points);
    return true;
}

bool CurveEditorState::release()
{
    const bool wasDragging = m_dragging;
    m_dragging = false;
    m_dragKind = DragKind::Middle;
    return wasDragging;
}

CurvePicture CurveEditorState::picture()
{
    CurvePicture picture;
    picture.grid = grid;
    picture.vertex = vertex;
    for (std::size_t i = 0; i < KeptCurves::kSlotCount; ++i)
        if (m_slots.slot(i).shown)
            picture.keptTables.push_back(computeCurveTable(m_slots.slot(i).points));
    if (auto restored = m_slots.takePendingRestore())
        m_working.setKeyPoints(*restored);
    m_working.computeTable();
    picture.workingTable = m_working.table();
    picture.keyX = m_working.keyPoints().x;
    picture.keyY = m_working.keyPoints().y;
    return picture;
}

std::array<std::int32_t, CurveEditorState::kRows> CurveEditorState::newColumn() const
{
    std::array<std::int32_t, kRows> column{};
    for (std::size_t r = 0; r < column.size(); ++r)
        column[r] = m_working.table()[static_cast<std::size_t>(kSourceColumn[r])];
    return column;
}

} // namespace quillon::curve
