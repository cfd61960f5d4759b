#pragma once
// What the curve editor knows, without any window: the working curve, the
// three kept-curve slots, the drawing switches and the key-point drag. Mouse
// positions arrive as pixel offsets from the drawing area's top-left corner
// (4 pixels per source step, 3 per new-velocity step, velocity 127 at the top).
//
// Guarantees: a drag keeps the key-points' invariants (x strictly increasing
// from 0 to 127, y within 0..127), and after picture() the working table
// always matches the working key-points.
#include "curve/core/KeptCurves.h"
#include "curve/core/VelocityCurve.h"
#include "curve/widgets/CurvePicture.h"

#include <array>
#include <cstdint>

namespace quillon::curve {

class CurveEditorState {
public:
    static constexpr int kScaleX = 4;
    static constexpr int kScaleY = 3;
    static constexpr int kRows = 14;
    // The source velocities the two columns show, top to bottom.
    static constexpr std::array<std::int32_t, kRows> kSourceColumn{0,  10, 20, 30,  40,  50,  60,
                                                                   70, 80, 90, 100, 110, 120, 127};

    enum class DragKind { Middle, Last, First };

    CurveEditorState();

    // Default key-points and their table; every slot back to its first state.
    void reset();

    VelocityCurve& working() { return m_working; }
    const VelocityCurve& working() const { return m_working; }
    KeptCurves& keptCurves() { return m_slots; }
    const KeptCurves& keptCurves() const { return m_slots; }

    bool grid = true;
    bool vertex = true;
    bool realTime = true;

    // Left button down at this horizontal offset: picks the first key-point
    // whose column lies less than 4 pixels away. True on a hit.
    bool press(int dx);
    // A mouse move while dragging: moves the picked key-point within its
    // limits. Does nothing (and returns false) when no drag is in progress.
    bool moveTo(int dx, int dy);
    // Left button up: ends the drag. True if a drag was in progress.
    bool release();

    bool dragging() const { return m_dragging; }
    int dragIndex() const { return m_dragIndex; }
    DragKind dragKind() const { return m_dragKind; }
    void forgetDrag();

    // Prepares a drawing: computes the shown kept curves, applies a pending
    // restore, recomputes the working table and returns what to draw.
    CurvePicture picture();
    // Recomputes the working table from the working key-points.
    void recompute() { m_working.computeTable(); }

    // The "New" column: the working table at each source row.
    std::array<std::int32_t, kRows> newColumn() const;

private:
    VelocityCurve m_working;
    KeptCurves m_slots;
    bool m_dragging = false;
    int m_dragIndex = -1;
    DragKind m_dragKind = DragKind::Middle;
    int m_leftNeighbour = -1;
    int m_rightNeighbour = -1;
};

} // namespace quillon::curve
