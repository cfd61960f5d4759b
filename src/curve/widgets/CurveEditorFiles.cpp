// The curve editor's file commands: the two lists, Load, Save, Delete and Send.
#include "curve/widgets/CurveEditor.h"

#include "base/core/FileListing.h"
#include "base/core/Messages.h"
#include "base/widgets/NamePrompt.h"
#include "curve/core/CurveFile.h"
#include "curve/core/Presets.h"
#include "curve/widgets/CurveSender.h"
#include "ui/ColourListBox.h"
#include "ui/ListedFile.h"
#include "ui/MessageService.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <filesystem>
#include <system_error>

namespace quillon::curve {

namespace {

int selectedRowOf(const QListWidget& list)
{
    const int row = list.currentRow();
    return row >= 0 && list.item(row)->isSelected() ? row : -1;
}

} // namespace

void CurveEditor::fillFileList()
{
    const listing::FileList listed = listing::listFolder(m_session.folders().curveFolder(), DataFolders::kCurvePattern);
    m_fillingLists = true;
    m_files->clear();
    for (const std::string& name : listed.names)
        ui::addListedFile(*m_files, name);
    m_fillingLists = false;
    if (listed.tooMany)
        m_session.messages().inform(this, text::kApplicationName, text::kTooManyFiles, ui::MessageIcon::None);
}

int CurveEditor::selectedPreset() const { return selectedRowOf(*m_presets); }
int CurveEditor::selectedFile() const { return selectedRowOf(*m_files); }

void CurveEditor::onPresetChosen() { chooseEntry(ActiveList::Presets); }
void CurveEditor::onFileChosen() { chooseEntry(ActiveList::Files); }

// The chosen list's entry becomes the file name and the other list lets go of
// its selection; only a file can be deleted.
void CurveEditor::chooseEntry(ActiveList list)
{
    const bool presets = list == ActiveList::Presets;
    QListWidget& chosen = presets ? static_cast<QListWidget&>(*m_presets) : *m_files;
    QListWidget& other = presets ? *m_files : static_cast<QListWidget&>(*m_presets);
    const int row = selectedRowOf(chosen);
    if (m_fillingLists || row < 0)
        return;
    m_fileName = chosen.item(row)->text();
    m_activeList = list;
    m_deleteButton->setEnabled(!presets);
    m_fillingLists = true;
    other.clearSelection();
    other.setCurrentRow(-1);
    m_fillingLists = false;
    m_fileNameField->setText(m_fileName);
}

std::optional<std::string> CurveEditor::listedFile(const std::string& entry) const
{
    const QString wanted = QString::fromStdString(entry);
    for (int row = 0; row < m_files->count(); ++row)
        if (m_files->item(row)->text().compare(wanted, Qt::CaseInsensitive) == 0)
            return ui::listedFileName(*m_files->item(row));
    return std::nullopt;
}

void CurveEditor::load()
{
    const KeyPoints before = m_state.working().keyPoints();
    if (m_activeList == ActiveList::Presets && selectedPreset() >= 0) {
        m_state.working().setKeyPoints(presetCurves()[static_cast<std::size_t>(selectedPreset())].points);
    } else if (m_activeList == ActiveList::Files && selectedFile() >= 0) {
        const std::string entry = ui::listedFileName(*m_files->item(selectedFile()));
        const std::filesystem::path path = m_session.folders().curvePath(entry);
        const Status loaded = loadCurveFile(path, m_state.working());
        if (!loaded) {
            showFailure(std::string(text::kCannotLoadCurve) + path.string() + "\r\n" + loaded.reason());
            return;
        }
    } else {
        return;
    }
    m_state.keptCurves().clearForLoad();
    redraw();
    recordStep(before, QStringLiteral("Load"));
}

void CurveEditor::save()
{
    // Only a name accepted by this very prompt may be used: a prompt that was
    // repeated and then cancelled leaves an older name in the session, which
    // the user did not ask for now.
    const std::string earlierName = m_session.chosenName;
    m_session.chosenName.clear();
    const bool confirmed = base::askForName(m_session, this);
    if (m_session.chosenName.empty()) {
        m_session.chosenName = earlierName;
        if (confirmed && earlierName.empty())
            m_session.messages().inform(this, text::kProgramTitle, text::kSaveNeedsName, ui::MessageIcon::Stop);
        return;
    }
    if (!confirmed)
        return;
    const std::string name = m_session.chosenName;
    const std::string entry = name + std::string(DataFolders::kCurveExtension);
    // The user was asked to replace the listed file, so a name that differs
    // from it only in case writes that very file, never a second one beside it.
    const auto listed = listedFile(entry);
    if (listed && !base::askToReplace(m_session, this)) {
        showMembers();
        return;
    }
    const std::filesystem::path path =
        listed ? m_session.folders().curvePath(*listed) : m_session.folders().curvePathForName(name);
    const Status written = writeCurveFile(path, storedCurveOf(m_state.working()));
    if (!written)
        showFailure(std::string(text::kCannotSaveCurve) + path.string() + "\r\n" + written.reason());
    else if (!listed)
        fillFileList(); // a new file must show in the list
    showMembers();
}

void CurveEditor::deleteSelectedFile()
{
    const int row = selectedFile();
    if (m_activeList != ActiveList::Files || row < 0)
        return;
    const std::string entry = ui::listedFileName(*m_files->item(row));
    const std::filesystem::path path = m_session.folders().curvePath(entry);
    std::error_code error;
    std::filesystem::remove(path, error); // a file that is already gone is no failure
    if (error) {
        // The entry stays listed while its file is still there.
        showFailure(std::string(text::kCannotDeleteFile) + path.string() + "\r\n" + error.message());
        return;
    }
    m_fillingLists = true;
    delete m_files->takeItem(row);
    if (m_files->count() == 0) {
        m_fileName.clear();
    } else {
        const int next = row > 0 ? row - 1 : 0;
        m_files->setCurrentRow(next);
        m_fileName = m_files->item(next)->text();
    }
    m_fillingLists = false;
    showMembers();
}

void CurveEditor::sendSelected()
{
    if (m_activeList == ActiveList::Presets) {
        showProgressAtZero();
        const int row = selectedPreset();
        if (row >= 0)
            m_sender->sendAfterPause(computeCurveTable(presetCurves()[static_cast<std::size_t>(row)].points));
    } else if (m_activeList == ActiveList::Files) {
        Table table = m_state.working().table();
        if (const int row = selectedFile(); row >= 0) {
            const std::filesystem::path path = m_session.folders().curvePath(ui::listedFileName(*m_files->item(row)));
            const Result<StoredCurve> stored = readCurveFile(path);
            if (!stored) {
                showFailure(std::string(text::kCannotLoadCurve) + path.string() + "\r\n" + stored.reason());
                return;
            }
            table = stored->table; // as stored: the keyboard gets exactly the file's table
        }
        showProgressAtZero();
        m_sender->sendAfterPause(table);
    }
}

} // namespace quillon::curve
