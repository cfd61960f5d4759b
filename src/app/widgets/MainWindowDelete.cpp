// The main window's Delete commands: songs remove every selected entry, ROM
// images only the current one. A file that cannot be removed stops the command
// there; what was removed stays removed and nothing after it is touched.
#include "app/widgets/FileListWidget.h"
#include "app/widgets/MainWindow.h"
#include "base/core/Messages.h"
#include "ui/ListedFile.h"
#include "ui/MessageService.h"

#include <system_error>

namespace quillon::app {

namespace {
// The exact question, then the names of the files it is about, one a line.
std::string deleteQuestion(std::string_view question, const std::vector<std::string>& names)
{
    std::string text(question);
    if (!text.ends_with("\r\n"))
        text += "\r\n";
    for (const std::string& name : names)
        text += "\r\n" + name;
    return text;
}
} // namespace

bool MainWindow::removeListedFile(const std::filesystem::path& path)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    if (!error && !std::filesystem::exists(status))
        error = std::make_error_code(std::errc::no_such_file_or_directory);
    else if (!error && std::filesystem::is_directory(status))
        error = std::make_error_code(std::errc::is_a_directory); // a list entry is never meant to be a folder
    else if (!error && !std::filesystem::remove(path, error) && !error)
        error = std::make_error_code(std::errc::no_such_file_or_directory);
    if (!error)
        return true;
    const std::string message = std::string(text::kCannotDeleteFile) + path.generic_string() + "\r\n" + error.message();
    m_session.messages().inform(this, text::kProgramTitle, message, ui::MessageIcon::Stop);
    return false;
}

void MainWindow::deleteSelectedSongs()
{
    const std::vector<int> selected = m_files->selectedRows();
    std::vector<std::string> names;
    for (int row : selected)
        names.push_back(ui::listedFileName(*m_files->item(row)));
    if (!m_session.messages().askYesNo(this, text::kProgramTitle, deleteQuestion(text::kDeleteSongsQuestion, names),
                                       ui::MessageIcon::Stop))
        return;
    for (std::size_t k = 0; k < selected.size(); ++k) {
        // k entries above this one are already gone from the list.
        const int row = selected[k] - static_cast<int>(k);
        if (!removeListedFile(m_session.folders().songPath(names[k])))
            return;
        delete m_files->takeItem(row);
    }
}

void MainWindow::deleteCaretRomImage()
{
    const int row = m_files->currentRow();
    if (row < 0)
        return;
    const std::string name = ui::listedFileName(*m_files->item(row));
    if (!m_session.messages().askYesNo(this, text::kProgramTitle, deleteQuestion(text::kDeleteRomQuestion, {name}),
                                       ui::MessageIcon::Stop))
        return;
    if (removeListedFile(m_session.folders().romPath(name)))
        delete m_files->takeItem(row);
}

void MainWindow::deleteFromKeyboard()
{
    if (m_files->currentRow() < 0 || m_files->selectedRows().empty())
        return;
    if (m_session.category == session::FileCategory::Songs)
        deleteSelectedSongs();
    else if (m_session.category == session::FileCategory::RomImages)
        deleteCaretRomImage();
}

} // namespace quillon::app
