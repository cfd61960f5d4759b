// The curve editor's context menu and the kept curves it works on.
#include "curve/widgets/CurveEditor.h"

#include "curve/widgets/CurveSender.h"
#include "ui/MessageService.h"

#include <QMenu>

#include <functional>

namespace quillon::curve {

namespace {

QString slotName(std::size_t slot) { return QStringLiteral("Curve%1").arg(slot + 1); }

} // namespace

void CurveEditor::onContextMenu(QPoint globalPosition)
{
    QMenu* menu = buildContextMenu(this);
    m_session.messages().execMenu(*menu, globalPosition);
    menu->deleteLater();
}

QMenu* CurveEditor::buildContextMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    const KeptCurves& kept = m_state.keptCurves();
    connect(menu->addAction(QStringLiteral("&New")), &QAction::triggered, this, &CurveEditor::newCurve);
    menu->addSeparator();

    using SlotCommand = void (CurveEditor::*)(std::size_t);
    // Only Keep and Show have a state to show; the other commands carry no check mark.
    using SlotState = std::function<bool(std::size_t)>;
    auto addSlotMenu = [&](const QString& title, SlotCommand command, bool onlyUsable, const SlotState& checked) {
        QMenu* submenu = menu->addMenu(title);
        for (std::size_t i = 0; i < KeptCurves::kSlotCount; ++i) {
            QAction* action = submenu->addAction(slotName(i));
            action->setEnabled(!onlyUsable || kept.isUsable(i));
            action->setCheckable(static_cast<bool>(checked));
            action->setChecked(checked && checked(i));
            connect(action, &QAction::triggered, this, [this, command, i] { (this->*command)(i); });
        }
    };
    auto usable = [&](std::size_t i) { return kept.isUsable(i); };
    auto shown = [&](std::size_t i) { return kept.slot(i).shown && !kept.slot(i).deleted; };

    addSlotMenu(QStringLiteral("Keep Curve"), &CurveEditor::keepCurve, false, usable);
    addSlotMenu(QStringLiteral("Show Curve"), &CurveEditor::showCurve, true, shown);
    addSlotMenu(QStringLiteral("Restore Curve"), &CurveEditor::restoreCurve, true, {});
    menu->addSeparator();
    addSlotMenu(QStringLiteral("&Send"), &CurveEditor::sendKeptCurve, true, {});
    addSlotMenu(QStringLiteral("&Delete"), &CurveEditor::deleteKeptCurve, true, {});
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Cancel")); // closes the menu, nothing more
    return menu;
}

// --- kept curves ----------------------------------------------------------------

void CurveEditor::keepCurve(std::size_t slot) { m_state.keptCurves().keep(slot, m_state.working().keyPoints()); }

void CurveEditor::showCurve(std::size_t slot)
{
    m_state.keptCurves().toggleShown(slot);
    redraw();
}

void CurveEditor::restoreCurve(std::size_t slot)
{
    const KeyPoints before = m_state.working().keyPoints();
    m_state.keptCurves().requestRestore(slot);
    redraw();
    recordStep(before, QStringLiteral("Restore Curve"));
}

void CurveEditor::deleteKeptCurve(std::size_t slot)
{
    m_state.keptCurves().remove(slot);
    redraw();
}

void CurveEditor::sendKeptCurve(std::size_t slot)
{
    if (!m_state.keptCurves().isUsable(slot))
        return;
    const Table table = computeCurveTable(m_state.keptCurves().slot(slot).points);
    showProgressAtZero();
    m_sender->sendAfterPause(table);
}

} // namespace quillon::curve
