#include "app/widgets/MainWindow.h"

#include "app/widgets/AboutDialog.h"
#include "app/widgets/CategoryList.h"
#include "app/widgets/FileListWidget.h"
#include "base/core/FileListing.h"
#include "base/core/Messages.h"
#include "midi/io/VirtualKeyboard.h"
#include "midi/widgets/SetDeviceDialog.h"
#include "player/widgets/SongListItem.h"
#include "ui/DialogUnits.h"
#include "ui/GroupFrame.h"
#include "ui/ListedFile.h"
#include "ui/MessageService.h"
#include "ui/ProgramIcon.h"
#include "ui/QtText.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QWindow>

#include <set>

namespace quillon::app {

namespace {

QString categoryEntry(const char* pattern)
{
    return QString(MainWindow::kCategoryPadding, QLatin1Char(' ')) + QLatin1String(pattern);
}
} // namespace

MainWindow::MainWindow(session::Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setWindowTitle(qt(text::kProgramTitle));
    setWindowIcon(ui::programIcon());
    // A top-level window with a task-bar entry, a system menu and a minimise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(ui::dialogFont("Arial", 9));
    setAcceptDrops(true);
    buildControls();

    // Every run starts with no port chosen and the songs shown.
    m_session.outputChoice = midi::PortChoice::notChosen();
    m_session.inputChoice = midi::PortChoice::notChosen();
    m_session.category = session::FileCategory::Songs;
    m_categories->addItem(categoryEntry("*.mid"));
    m_categories->addItem(categoryEntry("*.bin"));
    connect(m_categories, &QComboBox::currentIndexChanged, this, &MainWindow::onCategoryChanged);
    m_categories->setCurrentIndex(0);
    onCategoryChanged(0);
    m_categories->setFocus();
}

void MainWindow::buildControls()
{
    const ui::DialogUnits units(font());
    setFixedSize(units.size(229, 240));

    struct ButtonPlace {
        const char* text;
        int x, width;
        void (MainWindow::*handler)();
    };
    const ButtonPlace row[] = {
        {"V.Curve", 8, 41, nullptr},
        {"Devcie", 51, 41, &MainWindow::openDeviceDialog},
        {"HomePage", 94, 43, nullptr},
        {"Help", 139, 39, &MainWindow::openHelp},
        {"About", 180, 38, &MainWindow::openAbout},
    };
    for (const ButtonPlace& place : row) {
        auto* button = new QPushButton(QLatin1String(place.text), this);
        // Enter away from a button ends the program, so no button may look
        // like the one Enter presses.
        button->setAutoDefault(false);
        units.place(*button, place.x, 6, place.width, 14);
        m_buttons.push_back(button);
        if (place.handler != nullptr)
            connect(button, &QPushButton::clicked, this, place.handler);
    }
    connect(m_buttons[0], &QPushButton::clicked, this, [this] {
        if (m_hooks.openCurveEditor)
            m_hooks.openCurveEditor(*this);
    });
    connect(m_buttons[2], &QPushButton::clicked, this, [this] { m_session.messages().openUrl(QUrl(kHomePage)); });

    m_frame = ui::makeGroupFrame(QStringLiteral("UpData"), this);
    units.place(*m_frame, 10, 25, 210, 205);

    m_categories = new CategoryList(this);
    m_categories->setAccessibleName(QStringLiteral("Category"));
    m_categories->setMaxVisibleItems(2);
    const QRect comboRect = units.rect(20, 35, 190, 12);
    m_categories->setGeometry(comboRect.x(), comboRect.y(), comboRect.width(),
                              std::max(comboRect.height(), m_categories->sizeHint().height()));

    m_files = new FileListWidget(this);
    m_files->setAccessibleName(QStringLiteral("Files"));
    units.place(*m_files, 20, 47, 190, 179);
    // The combo box may be taller than its 12 units; keep the list right below it.
    if (m_categories->geometry().bottom() >= m_files->y())
        m_files->setGeometry(m_files->x(), m_categories->geometry().bottom() + 1, m_files->width(),
                             m_files->geometry().bottom() - m_categories->geometry().bottom());
    connect(m_files, &FileListWidget::rightPressed, this, &MainWindow::onRightPressed);
    connect(m_files, &FileListWidget::doubleClickedAt, this, &MainWindow::showFileMenu);
    connect(m_files, &FileListWidget::deletePressed, this, &MainWindow::deleteFromKeyboard);
}

QPushButton& MainWindow::button(const QString& text) const
{
    for (QPushButton* candidate : m_buttons)
        if (candidate->text() == text)
            return *candidate;
    return *m_buttons.front();
}

// --- categories and the list ----------------------------------------------

void MainWindow::onCategoryChanged(int index)
{
    switch (index) {
    case 0: m_session.category = session::FileCategory::Songs; break;
    case 1: m_session.category = session::FileCategory::RomImages; break;
    default: m_session.category = session::FileCategory::None; break;
    }
    refillFileList();
}

void MainWindow::refillFileList()
{
    m_files->clear();
    const DataFolders& folders = m_session.folders();
    listing::FileList found;
    if (m_session.category == session::FileCategory::Songs)
        found = listing::listFolder(folders.songFolder(), DataFolders::kSongPattern);
    else if (m_session.category == session::FileCategory::RomImages)
        found = listing::listFolder(folders.romFolder(), DataFolders::kRomPattern);
    else
        return;
    if (found.tooMany) {
        m_session.messages().inform(this, text::kApplicationName, text::kTooManyFiles, ui::MessageIcon::None);
        return;
    }
    const bool songs = m_session.category == session::FileCategory::Songs;
    for (const std::string& name : found.names) {
        if (!songs) {
            ui::addListedFile(*m_files, name);
            continue;
        }
        auto* item = new player::SongListItem(ui::shownName(name), folders.songPath(name));
        ui::carryFileName(*item, name);
        m_files->addItem(item);
    }
    showWhereStored();
}

void MainWindow::showWhereStored()
{
    if (m_session.category != session::FileCategory::Songs)
        return;
    const transfer::SlotMap map = m_session.slotMap();
    const transfer::DeviceSlots* keyboard = map.forOutput(m_session.chosenKeyboard());
    for (int row = 0; row < m_files->count(); ++row) {
        if (auto* song = dynamic_cast<player::SongListItem*>(m_files->item(row)))
            song->setWhereStored(
                keyboard ? QString::fromStdString(transfer::whereStoredText(*keyboard, ui::listedFileName(*song)))
                         : QString());
    }
}

bool MainWindow::refillAndSelect(const std::string& fileName, const std::string& deselect)
{
    std::set<std::string> kept;
    for (const std::string& name : currentSelection().names)
        if (name != deselect)
            kept.insert(name);
    refillFileList();
    // The copy replaces its original in the selection; the user's other
    // choices stay selected beside it. Names are compared as stored on disk.
    bool found = false;
    for (int row = 0; row < m_files->count(); ++row) {
        QListWidgetItem* item = m_files->item(row);
        const std::string name = ui::listedFileName(*item);
        if (name == fileName) {
            m_files->setCurrentRow(row, QItemSelectionModel::Select);
            m_files->scrollToItem(item);
            found = true;
        } else if (kept.contains(name)) {
            item->setSelected(true);
        }
    }
    return found;
}

FileSelection MainWindow::currentSelection() const
{
    FileSelection selection;
    selection.category = m_session.category;
    selection.rows = m_files->selectedRows();
    for (int row : selection.rows)
        selection.names.push_back(ui::listedFileName(*m_files->item(row)));
    selection.caretRow = m_files->currentRow();
    if (selection.caretRow >= 0)
        selection.caretName = ui::listedFileName(*m_files->item(selection.caretRow));
    return selection;
}

// --- menus -----------------------------------------------------------------

QMenu* MainWindow::buildFileMenu(session::FileCategory category, QWidget* parent)
{
    if (category != session::FileCategory::Songs && category != session::FileCategory::RomImages)
        return nullptr;
    auto* menu = new QMenu(parent);
    if (category == session::FileCategory::Songs) {
        connect(menu->addAction(QStringLiteral("&MidiPlay")), &QAction::triggered, this, &MainWindow::playSelected);
        connect(menu->addAction(QStringLiteral("&Send")), &QAction::triggered, this, &MainWindow::sendSelectedSongs);
        menu->addSeparator();
        connect(menu->addAction(QStringLiteral("&Delete")), &QAction::triggered, this,
                &MainWindow::deleteSelectedSongs);
    } else {
        connect(menu->addAction(QStringLiteral("&Send")), &QAction::triggered, this, &MainWindow::sendSelectedRomImage);
        menu->addSeparator();
        connect(menu->addAction(QStringLiteral("&Delete")), &QAction::triggered, this,
                &MainWindow::deleteCaretRomImage);
    }
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Cancel")); // closing the menu is all it does
    return menu;
}

void MainWindow::showFileMenu(const QPoint& screenPoint)
{
    QMenu* menu = buildFileMenu(m_session.category, this);
    if (menu == nullptr)
        return;
    m_session.messages().execMenu(*menu, screenPoint);
    delete menu;
}

void MainWindow::onRightPressed(const QPoint& screenPoint)
{
    // Only with a current entry and something selected: the menu acts on that selection.
    if (m_files->currentRow() >= 0 && !m_files->selectedRows().empty())
        showFileMenu(screenPoint);
}

// --- commands handed to other windows ---------------------------------------

void MainWindow::playSelected()
{
    const FileSelection selection = currentSelection();
    m_session.playHandOver.index = selection.caretRow;
    if (m_session.category == session::FileCategory::Songs)
        m_session.playHandOver.category = session::PlayHandOver::kSongsOfMidFolder;
    if (m_hooks.playSongs)
        m_hooks.playSongs(*this, selection);
}

void MainWindow::sendSelectedSongs()
{
    if (m_hooks.sendSongs)
        m_hooks.sendSongs(*this, currentSelection());
    showWhereStored(); // the run is in the log now
}

void MainWindow::sendSelectedRomImage()
{
    if (m_hooks.sendRomImage)
        m_hooks.sendRomImage(*this, currentSelection());
    showWhereStored(); // a ROM update may have reset the slots
}

// --- the buttons -------------------------------------------------------------

void MainWindow::openDeviceDialog()
{
    if (m_session.midi() == nullptr)
        return;
    midi::SetDeviceDialog dialog(*m_session.midi(), m_session.outputChoice, m_session.inputChoice, this);
    if (m_session.messages().execDialog(dialog) == QDialog::Accepted) {
        m_session.outputChoice = dialog.chosenOutput();
        m_session.inputChoice = dialog.chosenInput();
        showWhereStored(); // another keyboard has other slots
        // No device at all: what is sent is kept by the built-in keyboard, and the user should know.
        const auto& output = m_session.outputChoice;
        if (output.defaultResolved() && output.port.backend == midi::VirtualKeyboard::kBackendName)
            m_session.messages().inform(this, text::kProgramTitle, text::kDefaultIsBuiltIn,
                                        ui::MessageIcon::Information);
    }
}

void MainWindow::openAbout()
{
    AboutDialog about(this);
    m_session.messages().execDialog(about);
}

void MainWindow::openHelp()
{
    const std::filesystem::path page = std::filesystem::absolute(m_session.folders().helpPage());
    m_session.messages().openUrl(QUrl::fromLocalFile(QString::fromStdString(page.lexically_normal().string())));
}

// --- keys and dragging -------------------------------------------------------

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_F1:
        event->accept(); // no context help
        return;
    case Qt::Key_Escape: reject(); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A focused button is pressed; anywhere else Enter ends the program.
        if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
            focused->click();
            return;
        }
        accept();
        return;
    default: QDialog::keyPressEvent(event);
    }
}

bool MainWindow::event(QEvent* event)
{
    // Swallow F1 before any shortcut or help machinery sees it.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1) {
            event->accept();
            return true;
        }
    }
    return QDialog::event(event);
}

bool MainWindow::inDragStrip(const QPoint& screenPoint) const
{
    return screenPoint.y() - frameGeometry().top() < kDragStripHeight;
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    const QPoint screenPoint = event->globalPosition().toPoint();
    if (event->button() == Qt::LeftButton && inDragStrip(screenPoint)) {
        if (windowHandle() != nullptr && windowHandle()->startSystemMove())
            return;
        // The window system cannot move it for us: follow the mouse ourselves.
        m_dragging = true;
        m_dragOffset = screenPoint - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}

} // namespace quillon::app
