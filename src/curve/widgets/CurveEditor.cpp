// The curve editor's window: its controls, the state they show, the drawing
// area and the velocity monitor. The history, the context menu and the file
// commands have files of their own (CurveEditorHistory, CurveEditorMenu,
// CurveEditorFiles).
#include "curve/widgets/CurveEditor.h"

#include "base/core/Messages.h"
#include "curve/core/Presets.h"
#include "curve/widgets/CurveCanvas.h"
#include "curve/widgets/CurveSender.h"
#include "curve/widgets/MonitorFeed.h"
#include "ui/ColourListBox.h"
#include "ui/DialogUnits.h"
#include "ui/MessageService.h"
#include "ui/PercentBar.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QUndoStack>

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
