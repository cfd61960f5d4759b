// Files dropped onto the main window from a file manager: each is copied
// into its folder of the data folder, never silently replacing a file.
#include "app/widgets/CategoryList.h"
#include "app/widgets/FileListWidget.h"
#include "app/widgets/MainWindow.h"
#include "base/core/DroppedFiles.h"
#include "base/core/Messages.h"
#include "base/widgets/NamePrompt.h"
#include "player/core/MidiFile.h"
#include "player/core/SongFacts.h"
#include "transfer/widgets/SendCommands.h"
#include "ui/MessageService.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include <algorithm>

namespace quillon::app {

namespace {

std::vector<std::filesystem::path> localFilesOf(const QMimeData* data)
{
    std::vector<std::filesystem::path> files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            files.emplace_back(url.toLocalFile().toStdString());
    return files;
}

bool isFormat1Song(const std::filesystem::path& file)
{
    const auto bytes = player::readSongBytes(file);
    if (!bytes)
        return false;
    const auto layout = player::readSmfLayout(*bytes);
    return layout && layout->format == 1;
}

std::optional<base::FileCategory> listedCategoryOf(base::DroppedKind kind)
{
    if (kind == base::DroppedKind::Song)
        return base::FileCategory::Songs;
    if (kind == base::DroppedKind::RomImage)
        return base::FileCategory::RomImages;
    return std::nullopt; // curves and SysEx files are not listed here
}

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!localFilesOf(event->mimeData()).empty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const auto files = localFilesOf(event->mimeData());
    if (files.empty())
        return;
    event->acceptProposedAction();
    dropFiles(files);
}

void MainWindow::dropFiles(const std::vector<std::filesystem::path>& files)
{
    const DataFolders& folders = m_session.folders();
    std::optional<base::FileCategory> shownCategory;
    std::vector<std::string> newNames; // of the shown category
    std::string failures;
    const auto noteFailure = [&](const std::filesystem::path& file, const std::string& why) {
        failures += "\r\n" + file.filename().string() + ": " + why;
    };

    for (const std::filesystem::path& file : files) {
        const auto kind = base::droppedKindOf(file);
        if (!kind) {
            noteFailure(file, std::string(text::kDroppedKindUnknown));
            continue;
        }
        const std::filesystem::path folder = base::folderFor(folders, *kind);
        std::string name = file.filename().string();
        bool replace = false;
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(folder / name, error))) {
            if (std::filesystem::equivalent(file, folder / name, error))
                continue; // dropped onto itself: nothing to copy
            replace = base::askToReplace(m_session, this);
            if (!replace)
                name = base::freeNameIn(folder, name);
        }
        const Status copied = base::copyDroppedFile(file, folder / name, replace);
        if (!copied) {
            noteFailure(file, copied.reason());
            continue;
        }
        const auto category = listedCategoryOf(*kind);
        if (category && !shownCategory)
            shownCategory = category;
        if (category && category == shownCategory)
            newNames.push_back(name);
        if (*kind == base::DroppedKind::Song && isFormat1Song(folder / name))
            transfer::offerFormat0Copy(*this, m_session, name, [&](const std::string& copyName, const std::string&) {
                if (shownCategory == base::FileCategory::Songs)
                    newNames.push_back(copyName);
            });
    }

    if (shownCategory)
        showCategoryWithSelected(*shownCategory, newNames);
    if (!failures.empty())
        m_session.messages().inform(this, text::kProgramTitle, std::string(text::kCannotCopyDropped) + failures,
                                    ui::MessageIcon::Stop);
}

void MainWindow::showCategoryWithSelected(base::FileCategory category, const std::vector<std::string>& names)
{
    const int index = category == base::FileCategory::Songs ? 0 : 1;
    if (m_categories->currentIndex() != index)
        m_categories->setCurrentIndex(index); // refills the list
    else
        refillFileList();
    m_files->clearSelection();
    bool first = true;
    for (int row = 0; row < m_files->count(); ++row) {
        const std::string listed = m_files->item(row)->text().toStdString();
        if (std::find(names.begin(), names.end(), listed) == names.end())
            continue;
        if (first) {
            m_files->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
            m_files->scrollToItem(m_files->item(row));
            first = false;
        } else {
            m_files->item(row)->setSelected(true);
        }
    }
}

} // namespace quillon::app
