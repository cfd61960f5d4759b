#include "player/widgets/SongListItem.h"

#include "base/core/Messages.h"
#include "player/core/SongFacts.h"
#include "ui/QtText.h"

namespace quillon::player {

QString songDetails(const std::filesystem::path& path)
{
    const auto bytes = readSongBytes(path);
    if (!bytes)
        return QString::fromStdString(bytes.reason());
    const QString size = qt(text::kSongDetailsSize).arg(bytes->size());
    const auto facts = songFactsOf(*bytes);
    if (!facts)
        return qt(text::kSongDetailsUnplayable).arg(QString::fromStdString(facts.reason()), size);
    const auto seconds = facts->lengthMicros / 1000000;
    const QString length = QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    const QString tracks =
        facts->tracks == 1 ? qt(text::kSongDetailsOneTrack) : qt(text::kSongDetailsTracks).arg(facts->tracks);
    return qt(text::kSongDetails).arg(facts->format).arg(tracks, length, size);
}

SongListItem::SongListItem(const QString& text, std::filesystem::path path)
    : QListWidgetItem(text), m_path(std::move(path))
{
}

QVariant SongListItem::data(int role) const
{
    if (role != Qt::ToolTipRole)
        return QListWidgetItem::data(role);
    if (!m_details)
        m_details = songDetails(m_path);
    return m_whereStored.isEmpty() ? *m_details : *m_details + QLatin1Char('\n') + m_whereStored;
}

} // namespace quillon::player
