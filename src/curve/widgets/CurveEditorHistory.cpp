// The curve editor's history: each change of the working curve is one undo
// step, and New and Default, which start the curve afresh.
#include "curve/widgets/CurveEditor.h"

#include "base/core/Messages.h"
#include "curve/widgets/CurveSender.h"
#include "ui/MessageService.h"

#include <QUndoCommand>
#include <QUndoStack>

#include <functional>

namespace quillon::curve {

namespace {

// One step of the working curve's history. Pushing it finds its change made
// already, so its first redo does nothing.
class CurveStep : public QUndoCommand {
public:
    CurveStep(const QString& what, KeyPoints before, KeyPoints after, std::function<void(const KeyPoints&)> show)
        : QUndoCommand(what), m_before(before), m_after(after), m_show(std::move(show))
    {
    }
    void undo() override { m_show(m_before); }
    void redo() override
    {
        if (m_pushed)
            m_show(m_after);
        m_pushed = true;
    }

private:
    KeyPoints m_before;
    KeyPoints m_after;
    std::function<void(const KeyPoints&)> m_show;
    bool m_pushed = false;
};

} // namespace

void CurveEditor::sendCurveNow(const Table& table) { m_sender->sendNow(table); }

void CurveEditor::recordStep(const KeyPoints& before, const QString& what)
{
    const KeyPoints after = m_state.working().keyPoints();
    if (before == after)
        return;
    m_history->push(new CurveStep(what, before, after, [this](const KeyPoints& points) { showStep(points); }));
}

void CurveEditor::showStep(const KeyPoints& points)
{
    m_state.forgetDrag();
    m_state.working().setKeyPoints(points);
    redraw();
    if (m_state.realTime) {
        showProgressAtZero();
        sendCurveNow(m_state.working().table());
    }
}

void CurveEditor::offerToSendDefault()
{
    if (m_session.messages().askYesNo(this, text::kProgramTitle, text::kSendDefaultCurveQuestion,
                                      ui::MessageIcon::Stop)) {
        showProgressAtZero();
        sendCurveNow(m_state.working().table());
    }
}

void CurveEditor::newCurve()
{
    const KeyPoints before = m_state.working().keyPoints();
    m_state.working().setDefaultKeyPoints();
    m_state.recompute();
    showColumns();
    m_state.keptCurves().clearForNew();
    redraw();
    recordStep(before, QStringLiteral("New"));
    offerToSendDefault();
}

void CurveEditor::defaultCurve()
{
    const KeyPoints before = m_state.working().keyPoints();
    resetEditor();
    m_state.forgetDrag();
    m_state.vertex = m_state.realTime = true;
    showMembers();
    redraw();
    recordStep(before, QStringLiteral("Default"));
    offerToSendDefault();
}

} // namespace quillon::curve
