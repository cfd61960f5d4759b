#include "ui/ListedFile.h"

#include "ui/QtText.h"

#include <QByteArray>

namespace quillon::ui {

namespace {
// Beyond the roles Qt itself fills for list entries.
constexpr int kFileNameRole = Qt::UserRole + 0x51;
} // namespace

QString shownName(std::string_view fileName) { return qt(fileName); }

void carryFileName(QListWidgetItem& item, const std::string& fileName)
{
    item.setData(kFileNameRole, QByteArray(fileName.data(), static_cast<qsizetype>(fileName.size())));
}

void addListedFile(QListWidget& list, const std::string& fileName)
{
    auto* item = new QListWidgetItem(shownName(fileName));
    carryFileName(*item, fileName);
    list.addItem(item);
}

std::string listedFileName(const QListWidgetItem& item)
{
    const QVariant stored = item.data(kFileNameRole);
    if (!stored.isValid())
        return item.text().toStdString();
    const QByteArray bytes = stored.toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

int rowOfListedFile(const QListWidget& list, const std::string& fileName)
{
    for (int row = 0; row < list.count(); ++row)
        if (listedFileName(*list.item(row)) == fileName)
            return row;
    return -1;
}

} // namespace quillon::ui
