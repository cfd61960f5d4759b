#pragma once
// A song as a list shows it: its file name, and as its tooltip the song's
// format, number of tracks, length (m:ss) and size. The details are read the
// first time the tooltip is asked for and kept for as long as the item lives,
// so a list reads each song at most once per listing and only when wanted.
#include <QListWidgetItem>

#include <filesystem>
#include <optional>

namespace quillon::player {

// The tooltip text for the song at this path.
QString songDetails(const std::filesystem::path& path);

class SongListItem : public QListWidgetItem {
public:
    SongListItem(const QString& text, std::filesystem::path path);

    QVariant data(int role) const override;
    // A line under the details: where the song is on the keyboard.
    void setWhereStored(const QString& text) { m_whereStored = text; }

private:
    QString m_whereStored;
    std::filesystem::path m_path;
    mutable std::optional<QString> m_details;
};

} // namespace quillon::player
