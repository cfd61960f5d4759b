// Files dropped onto the main window from a file manager: each is checked for
// its kind and copied into its folder of the data folder, never silently
// replacing a file. The replace prompts come first, on the window thread; the
// reading, checking and writing then run on a thread of their own, with a
// progress window for large drops, so the window never waits on a disk.
#include "app/widgets/CategoryList.h"
#include "app/widgets/FileListWidget.h"
#include "app/widgets/MainWindow.h"
#include "base/core/Messages.h"
#include "base/widgets/NamePrompt.h"
#include "transfer/core/FileIntake.h"
#include "transfer/widgets/SendCommands.h"
#include "ui/ListedFile.h"
#include "ui/MessageService.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QProgressDialog>

#include <algorithm>

namespace quillon::app {

namespace {

// The exact bytes of each local file's name: the URL's percent-encoded path
// decoded as bytes, so "%FF" stays the byte 0xFF (decoding it as text would
// make it U+FFFD, the name of another file).
std::vector<std::filesystem::path> localFilesOf(const QMimeData* data)
{
    std::vector<std::filesystem::path> files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            files.emplace_back(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString());
    return files;
}

std::optional<session::FileCategory> listedCategoryOf(base::DroppedKind kind)
{
    if (kind == base::DroppedKind::Song)
        return session::FileCategory::Songs;
    if (kind == base::DroppedKind::RomImage)
        return session::FileCategory::RomImages;
    return std::nullopt; // curves and SysEx files are not listed here
}

// From this many bytes on, a drop shows its progress.
constexpr std::uintmax_t kLargeDrop = 4u << 20;

} // namespace

MainWindow::~MainWindow()
{
    if (m_drop && m_drop->worker.joinable())
        m_drop->worker.join();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!m_drop && !localFilesOf(event->mimeData()).empty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const auto files = localFilesOf(event->mimeData());
    if (files.empty() || m_drop)
        return;
    event->acceptProposedAction();
    dropFiles(files);
}

void MainWindow::dropFiles(const std::vector<std::filesystem::path>& files)
{
    auto run = std::make_unique<DropRun>();
    std::uintmax_t total = 0;
    for (const std::filesystem::path& file : files) {
        auto plan = base::planDrop(m_session.folders(), file, [&] { return base::askToReplace(m_session, this); });
        if (!plan) {
            run->failures += "\r\n" + file.filename().string() + ": " + plan.reason();
        } else if (*plan) {
            std::error_code error;
            if (const auto size = std::filesystem::file_size(file, error); !error)
                total += size;
            run->plans.push_back(std::move(**plan));
        }
    }
    if (total >= kLargeDrop) {
        m_dropProgress = new QProgressDialog(this);
        m_dropProgress->setCancelButton(nullptr);
        m_dropProgress->setRange(0, 100);
        m_dropProgress->setMinimumDuration(0);
        m_dropProgress->setWindowTitle(QString::fromUtf8(text::kProgramTitle.data(), text::kProgramTitle.size()));
    }
    m_drop = std::move(run);
    m_drop->worker = std::thread([this, run = m_drop.get(), total] {
        std::uintmax_t done = 0;
        for (const base::DropPlan& plan : run->plans) {
            const auto report = [&](std::size_t written) {
                const int percent = static_cast<int>((done + written) * 100 / std::max<std::uintmax_t>(total, 1));
                QMetaObject::invokeMethod(
                    this,
                    [this, percent] {
                        if (m_dropProgress)
                            m_dropProgress->setValue(percent);
                    },
                    Qt::QueuedConnection);
            };
            run->outcomes.push_back(transfer::takeIn(plan, report));
            done += run->outcomes.back() ? run->outcomes.back()->length : 0;
        }
        QMetaObject::invokeMethod(this, &MainWindow::finishDrop, Qt::QueuedConnection);
    });
}

void MainWindow::finishDrop()
{
    const std::unique_ptr<DropRun> run = std::move(m_drop);
    run->worker.join();
    delete m_dropProgress;
    m_dropProgress = nullptr;

    std::optional<session::FileCategory> shownCategory;
    std::vector<std::string> newNames; // of the shown category
    std::string failures = run->failures;
    for (std::size_t i = 0; i < run->plans.size(); ++i) {
        const base::DropPlan& plan = run->plans[i];
        const auto& outcome = run->outcomes[i];
        if (!outcome) {
            failures += "\r\n" + plan.source.filename().string() + ": " + outcome.reason();
            continue;
        }
        const std::string name = plan.target.filename().string();
        const auto category = listedCategoryOf(plan.kind);
        if (category && !shownCategory)
            shownCategory = category;
        if (category && category == shownCategory)
            newNames.push_back(name);
        if (outcome->format1Song)
            transfer::offerFormat0Copy(*this, m_session, name, [&](const std::string& copyName, const std::string&) {
                if (shownCategory == session::FileCategory::Songs)
                    newNames.push_back(copyName);
            });
    }

    if (shownCategory)
        showCategoryWithSelected(*shownCategory, newNames);
    if (!failures.empty())
        m_session.messages().inform(this, text::kProgramTitle, std::string(text::kCannotCopyDropped) + failures,
                                    ui::MessageIcon::Stop);
    emit dropTaken();
}

void MainWindow::showCategoryWithSelected(session::FileCategory category, const std::vector<std::string>& names)
{
    const int index = category == session::FileCategory::Songs ? 0 : 1;
    if (m_categories->currentIndex() != index)
        m_categories->setCurrentIndex(index); // refills the list
    else
        refillFileList();
    m_files->clearSelection();
    bool first = true;
    for (int row = 0; row < m_files->count(); ++row) {
        const std::string listed = ui::listedFileName(*m_files->item(row));
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
