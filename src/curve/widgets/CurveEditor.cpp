#include "curve/widgets/CurveEditor.h"

#include "base/core/FileListing.h"
#include "base/core/Messages.h"
#include "base/widgets/NamePrompt.h"
#include "curve/core/CurveFile.h"
#include "curve/core/Presets.h"
#include "curve/widgets/CurveCanvas.h"
#include "curve/widgets/CurveSender.h"
#include "curve/widgets/MonitorFeed.h"
#include "ui/ColourListBox.h"
#include "ui/DialogUnits.h"
#include "ui/ListedFile.h"
#include "ui/MessageService.h"
#include "ui/PercentBar.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QUndoCommand>
#include <QUndoStack>

#include <filesystem>
#include <functional>
#include <system_error>

namespace quillon::curve {

namespace {

const QColor kPresetColour(154, 154, 154);
const QColor kBarColour(99, 162, 104);
const QColor kBarTextColour(250, 1, 1);

constexpr std::array<int, CurveEditorState::kRows> kRowY{13,  27,  42,  58,  72,  86,  100,
                                                         116, 130, 145, 160, 175, 190, 205};
constexpr int kDialogWidth = 451;
constexpr int kDialogHeight = 266;
constexpr int kAreaX = 9;
constexpr int kAreaY = 13;
constexpr int kAreaWidth = 291;
constexpr int kAreaHeight = 203;

QString qText(std::string_view text) { return ui::displayText(text); }

// The window is laid out in dialog units of its font, but the drawing area has
// a fixed pixel size. Units are taken from the smallest font size (the window's
// own or larger) at which the area's place holds those pixels, so the area
// never covers the controls beside and below it.
ui::DialogUnits layoutUnits(const QFont& windowFont)
{
    for (int size = windowFont.pointSize(); size < 40; ++size) {
        QFont candidate = windowFont;
        candidate.setPointSize(size);
        const ui::DialogUnits units(candidate);
        if (units.toPixelsX(kAreaWidth) >= CurveCanvas::kWidth && units.toPixelsY(kAreaHeight) >= CurveCanvas::kHeight)
            return units;
    }
    return ui::DialogUnits(windowFont);
}

QString slotName(std::size_t slot) { return QStringLiteral("Curve%1").arg(slot + 1); }

// One step of the working curve's history. Pushing it finds its change made
// already, so its first redo does nothing.
class CurveStep : public QUndoCommand {
public:
    CurveStep(const QString& what, KeyPoints before, KeyPoints after, std::function<void(const KeyPoints&)> show)
        : QUndoCommand(what), m_before(before), m_after(after), m_show(std::move(show))
    {
    }
    void undo() override { m_show(m_before); }
    void redo() override
    {
        if (m_pushed)
            m_show(m_after);
        m_pushed = true;
    }

private:
    KeyPoints m_before;
    KeyPoints m_after;
    std::function<void(const KeyPoints&)> m_show;
    bool m_pushed = false;
};

int selectedRowOf(const QListWidget& list)
{
    const int row = list.currentRow();
    return row >= 0 && list.item(row)->isSelected() ? row : -1;
}

} // namespace

CurveEditor::CurveEditor(session::Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setWindowTitle(QStringLiteral("V.Curve"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(ui::dialogFont(QStringLiteral("Arial"), 9));
    buildControls();

    m_state.grid = m_state.vertex = m_state.realTime = true;
    m_state.forgetDrag();
    resetEditor();

    fillFileList();
    if (m_files->count() > 0) {
        m_fillingLists = true;
        m_files->setCurrentRow(0);
        m_fillingLists = false;
        m_fileName = m_files->item(0)->text();
    } else {
        m_fileName.clear();
    }
    showMembers();
    redraw();

    m_progress->hide();
    m_progress->setRange(0, 1);
    m_progress->setPosition(0);
}

CurveEditor::~CurveEditor()
{
    // The input goes before anything its messages could reach.
    m_monitorFeed->stop();
}

ui::ColourListBox& CurveEditor::presetList() const { return *m_presets; }

bool CurveEditor::sendWaiting() const { return m_sender->waiting(); }

const VelocityMonitor& CurveEditor::velocityMonitor() const { return m_monitorFeed->monitor(); }

bool CurveEditor::monitorInputOpen() const { return m_monitorFeed->isOpen(); }

void CurveEditor::buildControls()
{
    const ui::DialogUnits units = layoutUnits(font());
    resize(units.size(kDialogWidth, kDialogHeight));
    setFixedSize(size());

    auto label = [&](const QString& text, int x, int y, int w, int h) {
        auto* made = new QLabel(text, this);
        units.place(*made, x, y, w, h);
        return made;
    };
    auto pushButton = [&](const QString& text, int x, int y, int w, int h) {
        auto* made = new QPushButton(text, this);
        made->setAutoDefault(false);
        units.place(*made, x, y, w, h);
        return made;
    };
    auto checkBox = [&](const QString& text, int x, int y, int w, int h) {
        auto* made = new QCheckBox(text, this);
        units.place(*made, x, y, w, h);
        return made;
    };
    auto group = [&](int x, int y, int w, int h) {
        auto* made = new QGroupBox(this);
        units.place(*made, x, y, w, h);
        made->lower();
        return made;
    };
    auto cell = [&](int x, int y, const QString& name) {
        auto* made = new QLineEdit(this);
        made->setAccessibleName(name);
        made->setReadOnly(true);
        made->setAlignment(Qt::AlignCenter);
        made->setFocusPolicy(Qt::NoFocus);
        units.place(*made, x, y, 27, 12);
        return made;
    };

    m_canvas = new CurveCanvas(this);
    m_canvas->move(units.point(kAreaX, kAreaY));
    label(QStringLiteral("V. Curve Show"), 106, 3, 49, 8);
    // Over the drawing area's right end: the box belongs to the graph it changes.
    m_monitor = checkBox(QStringLiteral("Monitor"), 258, 2, 42, 10);
    label(QStringLiteral("Source"), 309, 3, 24, 9);
    label(QStringLiteral("New"), 343, 3, 15, 8);
    for (std::size_t r = 0; r < kRowY.size(); ++r) {
        m_sourceCells[r] = cell(307, kRowY[r], QStringLiteral("Source, row %1").arg(r + 1));
        m_newCells[r] = cell(337, kRowY[r], QStringLiteral("New, row %1").arg(r + 1));
    }

    label(QStringLiteral("FileName"), 371, 3, 50, 8);
    m_fileNameField = new QLineEdit(this);
    m_fileNameField->setAccessibleName(QStringLiteral("File name"));
    units.place(*m_fileNameField, 370, 13, 68, 12);
    m_presets = new ui::ColourListBox(this);
    m_presets->setAccessibleName(QStringLiteral("Preset curves"));
    units.place(*m_presets, 370, 25, 68, 74);
    m_files = new QListWidget(this);
    m_files->setAccessibleName(QStringLiteral("Curve files"));
    m_files->setSortingEnabled(false);
    m_files->setSelectionMode(QAbstractItemView::SingleSelection);
    units.place(*m_files, 370, 99, 68, 66);

    group(370, 165, 71, 53);
    m_deleteButton = pushButton(QStringLiteral("Delete"), 380, 172, 53, 12);
    m_deleteButton->setEnabled(false);
    QPushButton* loadButton = pushButton(QStringLiteral("Load"), 380, 187, 53, 12);
    QPushButton* sendButton = pushButton(QStringLiteral("Send"), 380, 202, 53, 12);

    QPushButton* newButton = pushButton(QStringLiteral("New"), 20, 229, 43, 12);
    group(71, 222, 159, 23);
    m_grid = checkBox(QStringLiteral(" Grid"), 80, 231, 32, 10);
    m_vertex = checkBox(QStringLiteral(" Vertex"), 126, 231, 39, 10);
    m_realTime = checkBox(QStringLiteral("Real_time"), 179, 231, 49, 10);
    QPushButton* saveButton = pushButton(QStringLiteral("Save"), 236, 229, 43, 12);
    QPushButton* defaultButton = pushButton(QStringLiteral("Default"), 308, 229, 53, 12);
    QPushButton* exitButton = pushButton(QStringLiteral("Exit"), 379, 229, 53, 12);
    exitButton->setDefault(true);

    m_hint = label(qText(text::kCurveHint), 0, 251, 449, 13);
    m_hint->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_hint->setEnabled(false); // shown greyed
    m_progress = new ui::PercentBar(this);
    m_progress->setAccessibleName(QStringLiteral("Sending"));
    units.place(*m_progress, 2, 254, 444, 10);
    m_progress->setBarColour(kBarColour);
    m_progress->setTextOverBarColour(kBarTextColour);

    m_sender = new CurveSender(m_session, *this, *m_progress);
    m_sender->setParent(this);
    m_monitorFeed = new MonitorFeed(m_session, this);

    m_history = new QUndoStack(this);
    // Window-wide keys without a menu: actions that live on the window itself.
    QAction* undo = m_history->createUndoAction(this);
    undo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
    QAction* redo = m_history->createRedoAction(this);
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* action : {undo, redo}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }

    connect(m_canvas, &CurveCanvas::leftPressed, this, &CurveEditor::onCanvasPressed);
    connect(m_canvas, &CurveCanvas::mouseMoved, this, &CurveEditor::onCanvasMoved);
    connect(m_canvas, &CurveCanvas::leftReleased, this, &CurveEditor::onCanvasReleased);
    connect(m_canvas, &CurveCanvas::rightPressed, this, &CurveEditor::onContextMenu);
    connect(m_canvas, &CurveCanvas::keyPointNudged, this, &CurveEditor::onKeyPointNudged);

    // A click on the entry that is already highlighted still counts as a choice.
    connect(m_presets, &QListWidget::currentRowChanged, this, &CurveEditor::onPresetChosen);
    connect(m_presets, &QListWidget::itemClicked, this, &CurveEditor::onPresetChosen);
    connect(m_files, &QListWidget::currentRowChanged, this, &CurveEditor::onFileChosen);
    connect(m_files, &QListWidget::itemClicked, this, &CurveEditor::onFileChosen);

    connect(m_deleteButton, &QPushButton::clicked, this, &CurveEditor::deleteSelectedFile);
    connect(loadButton, &QPushButton::clicked, this, &CurveEditor::load);
    connect(sendButton, &QPushButton::clicked, this, &CurveEditor::sendSelected);
    connect(newButton, &QPushButton::clicked, this, &CurveEditor::newCurve);
    connect(saveButton, &QPushButton::clicked, this, &CurveEditor::save);
    connect(defaultButton, &QPushButton::clicked, this, &CurveEditor::defaultCurve);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::accept);

    connect(m_grid, &QCheckBox::toggled, this, [this](bool on) {
        m_state.grid = on;
        redraw();
    });
    connect(m_vertex, &QCheckBox::toggled, this, [this](bool on) {
        m_state.vertex = on;
        redraw();
    });
    connect(m_realTime, &QCheckBox::toggled, this, [this](bool on) { m_state.realTime = on; });
    connect(m_monitor, &QCheckBox::toggled, this, &CurveEditor::onMonitorToggled);
    connect(m_monitorFeed, &MonitorFeed::keysArrived, this, &CurveEditor::redraw);
}

QPushButton* CurveEditor::button(const QString& text) const
{
    for (QPushButton* candidate : findChildren<QPushButton*>())
        if (candidate->text() == text)
            return candidate;
    return nullptr;
}

// --- state shown in the window ----------------------------------------------

void CurveEditor::resetEditor()
{
    m_activeList = ActiveList::None;
    m_state.reset();
    m_fillingLists = true;
    m_presets->clear();
    for (const Preset& preset : presetCurves())
        m_presets->addEntry(QString::fromLatin1(preset.name.data(), static_cast<qsizetype>(preset.name.size())),
                            kPresetColour);
    m_fillingLists = false;
    m_deleteButton->setEnabled(false);
    showMembers();
}

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

void CurveEditor::redraw()
{
    CurvePicture picture = m_state.picture();
    if (m_monitorFeed->isOpen())
        picture.monitor = m_monitorFeed->picture(picture.workingTable);
    m_canvas->showPicture(picture);
    showColumns();
}

void CurveEditor::showColumns()
{
    const auto values = m_state.newColumn();
    for (std::size_t r = 0; r < values.size(); ++r) {
        m_sourceCells[r]->setText(QString::number(CurveEditorState::kSourceColumn[r]));
        m_newCells[r]->setText(QString::number(values[r]));
    }
}

void CurveEditor::showMembers()
{
    m_fileNameField->setText(m_fileName);
    const QSignalBlocker gridBlock(m_grid);
    const QSignalBlocker vertexBlock(m_vertex);
    const QSignalBlocker realTimeBlock(m_realTime);
    m_grid->setChecked(m_state.grid);
    m_vertex->setChecked(m_state.vertex);
    m_realTime->setChecked(m_state.realTime);
    showColumns();
}

void CurveEditor::showProgressAtZero()
{
    m_hint->hide();
    m_progress->show();
    m_progress->setPosition(0);
}

void CurveEditor::showFailure(const std::string& message)
{
    m_session.messages().inform(this, text::kApplicationName, message, ui::MessageIcon::Stop);
}

// --- lists --------------------------------------------------------------------

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

// --- drawing area ---------------------------------------------------------------

void CurveEditor::onCanvasPressed(QPoint position)
{
    m_dragStart = m_state.working().keyPoints();
    m_state.press(position.x());
    if (m_state.realTime) {
        m_hint->hide();
        m_progress->show();
    } else {
        m_hint->show();
        m_progress->hide();
    }
    m_progress->setPosition(0);
}

void CurveEditor::onCanvasMoved(QPoint position)
{
    if (m_state.moveTo(position.x(), position.y()))
        redraw();
}

void CurveEditor::onCanvasReleased(QPoint)
{
    if (!m_state.release())
        return;
    recordStep(m_dragStart, QStringLiteral("Drag"));
    if (m_state.realTime) {
        showProgressAtZero();
        sendCurveNow(m_state.working().table());
    }
}

// An arrow key moves a key-point as a drag to that place would: the same
// limits, one undo step, and the same send with Real_time on.
void CurveEditor::onKeyPointNudged(int index, int right, int up)
{
    const KeyPoints& points = m_state.working().keyPoints();
    const auto k = static_cast<std::size_t>(index);
    const QPoint to = CurveCanvas::pointFor(points.x[k] + right, points.y[k] + up);
    onCanvasPressed(CurveCanvas::pointFor(points.x[k], points.y[k]));
    onCanvasMoved(to);
    onCanvasReleased(to);
}

void CurveEditor::onContextMenu(QPoint globalPosition)
{
    QMenu* menu = buildContextMenu(this);
    m_session.messages().execMenu(*menu, globalPosition);
    menu->deleteLater();
}

QMenu* CurveEditor::buildContextMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    const KeptCurves& kept = m_state.keptCurves();
    connect(menu->addAction(QStringLiteral("&New")), &QAction::triggered, this, &CurveEditor::newCurve);
    menu->addSeparator();

    using SlotCommand = void (CurveEditor::*)(std::size_t);
    // Only Keep and Show have a state to show; the other commands carry no check mark.
    using SlotState = std::function<bool(std::size_t)>;
    auto addSlotMenu = [&](const QString& title, SlotCommand command, bool onlyUsable, const SlotState& checked) {
        QMenu* submenu = menu->addMenu(title);
        for (std::size_t i = 0; i < KeptCurves::kSlotCount; ++i) {
            QAction* action = submenu->addAction(slotName(i));
            action->setEnabled(!onlyUsable || kept.isUsable(i));
            action->setCheckable(static_cast<bool>(checked));
            action->setChecked(checked && checked(i));
            connect(action, &QAction::triggered, this, [this, command, i] { (this->*command)(i); });
        }
    };
    auto usable = [&](std::size_t i) { return kept.isUsable(i); };
    auto shown = [&](std::size_t i) { return kept.slot(i).shown && !kept.slot(i).deleted; };

    addSlotMenu(QStringLiteral("Keep Curve"), &CurveEditor::keepCurve, false, usable);
    addSlotMenu(QStringLiteral("Show Curve"), &CurveEditor::showCurve, true, shown);
    addSlotMenu(QStringLiteral("Restore Curve"), &CurveEditor::restoreCurve, true, {});
    menu->addSeparator();
    addSlotMenu(QStringLiteral("&Send"), &CurveEditor::sendKeptCurve, true, {});
    addSlotMenu(QStringLiteral("&Delete"), &CurveEditor::deleteKeptCurve, true, {});
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Cancel")); // closes the menu, nothing more
    return menu;
}

// --- velocity monitor -------------------------------------------------------------

void CurveEditor::onMonitorToggled(bool on)
{
    if (!on) {
        m_monitorFeed->stop();
        redraw();
        return;
    }
    const MonitorFeed::Start started = m_monitorFeed->start();
    if (started != MonitorFeed::Start::Started) {
        {
            const QSignalBlocker block(m_monitor);
            m_monitor->setChecked(false);
        }
        // The same words as a transfer that finds no input.
        m_session.messages().inform(this, text::kProgramTitle,
                                    started == MonitorFeed::Start::NotChosen ? text::kInputNotOpened
                                                                             : text::kNoInputDevices,
                                    ui::MessageIcon::Stop);
        return;
    }
    redraw();
}

// --- kept curves ----------------------------------------------------------------

void CurveEditor::keepCurve(std::size_t slot) { m_state.keptCurves().keep(slot, m_state.working().keyPoints()); }

void CurveEditor::showCurve(std::size_t slot)
{
    m_state.keptCurves().toggleShown(slot);
    redraw();
}

void CurveEditor::restoreCurve(std::size_t slot)
{
    const KeyPoints before = m_state.working().keyPoints();
    m_state.keptCurves().requestRestore(slot);
    redraw();
    recordStep(before, QStringLiteral("Restore Curve"));
}

void CurveEditor::deleteKeptCurve(std::size_t slot)
{
    m_state.keptCurves().remove(slot);
    redraw();
}

void CurveEditor::sendKeptCurve(std::size_t slot)
{
    if (!m_state.keptCurves().isUsable(slot))
        return;
    const Table table = computeCurveTable(m_state.keptCurves().slot(slot).points);
    showProgressAtZero();
    m_sender->sendAfterPause(table);
}

// --- commands -------------------------------------------------------------------

void CurveEditor::sendCurveNow(const Table& table) { m_sender->sendNow(table); }

void CurveEditor::recordStep(const KeyPoints& before, const QString& what)
{
    const KeyPoints after = m_state.working().keyPoints();
    if (before == after)
        return;
    m_history->push(new CurveStep(what, before, after, [this](const KeyPoints& points) { showStep(points); }));
}

void CurveEditor::showStep(const KeyPoints& points)
{
    m_state.forgetDrag();
    m_state.working().setKeyPoints(points);
    redraw();
    if (m_state.realTime) {
        showProgressAtZero();
        sendCurveNow(m_state.working().table());
    }
}

void CurveEditor::newCurve()
{
    const KeyPoints before = m_state.working().keyPoints();
    m_state.working().setDefaultKeyPoints();
    m_state.recompute();
    showColumns();
    m_state.keptCurves().clearForNew();
    redraw();
    recordStep(before, QStringLiteral("New"));
    if (m_session.messages().askYesNo(this, text::kProgramTitle, text::kSendDefaultCurveQuestion,
                                      ui::MessageIcon::Stop)) {
        showProgressAtZero();
        sendCurveNow(m_state.working().table());
    }
}

void CurveEditor::defaultCurve()
{
    const KeyPoints before = m_state.working().keyPoints();
    resetEditor();
    m_state.forgetDrag();
    m_state.vertex = m_state.realTime = true;
    showMembers();
    redraw();
    recordStep(before, QStringLiteral("Default"));
    if (m_session.messages().askYesNo(this, text::kProgramTitle, text::kSendDefaultCurveQuestion,
                                      ui::MessageIcon::Stop)) {
        showProgressAtZero();
        sendCurveNow(m_state.working().table());
    }
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

void CurveEditor::done(int result)
{
    // Sends the user asked for still leave, even when the window closes during the pause.
    m_sender->flush();
    m_monitorFeed->stop();
    {
        const QSignalBlocker block(m_monitor);
        m_monitor->setChecked(false);
    }
    QDialog::done(result);
}

} // namespace quillon::curve
