#include "app/widgets/CategoryList.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace quillon::app {

CategoryList::CategoryList(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    view()->setTextElideMode(Qt::ElideLeft);
}

QString CategoryList::shownText(int fieldWidth) const
{
    QString text = currentText();
    const QFontMetrics metrics(font());
    while (text.startsWith(QLatin1Char(' ')) && metrics.horizontalAdvance(text) > fieldWidth)
        text.remove(0, 1);
    return text;
}

void CategoryList::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    option.currentText = shownText(field.width() - 4);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

} // namespace quillon::app
