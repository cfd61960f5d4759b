#include "ui/ColourListBox.h"

#include <QPainter>
#include <QStyledItemDelegate>

namespace quillon::ui {

namespace {

constexpr int kColourRole = Qt::UserRole + 1;

class ColourEntryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QColor colour = index.data(kColourRole).value<QColor>();
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        painter->save();
        painter->fillRect(option.rect, selected ? colour : option.palette.color(QPalette::Window));
        painter->setPen(selected ? ColourListBox::complementOf(colour) : colour);
        painter->setFont(option.font);
        const QRect textRect = option.rect.adjusted(2, 0, -2, 0);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, index.data(Qt::DisplayRole).toString());
        painter->restore();
    }
};

} // namespace

ColourListBox::ColourListBox(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new ColourEntryDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    // The window background shows between and after the entries too.
    QPalette colours = palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::Window));
    setPalette(colours);
}

void ColourListBox::addEntry(const QString& text, const QColor& colour)
{
    auto* item = new QListWidgetItem(text);
    item->setData(kColourRole, colour);
    addItem(item);
}

QColor ColourListBox::entryColour(int row) const
{
    const QListWidgetItem* entry = item(row);
    return entry ? entry->data(kColourRole).value<QColor>() : QColor();
}

QColor ColourListBox::complementOf(const QColor& colour)
{
    return QColor(255 - colour.red(), 255 - colour.green(), 255 - colour.blue());
}

} // namespace quillon::ui
