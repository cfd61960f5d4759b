#pragma once
// The "V.Curve" window: shapes the working velocity curve by dragging its
// seven key-points, shows the table as a line and as fourteen sampled values,
// keeps up to three curves for comparison, applies presets, saves, loads and
// deletes .crv files and sends curves to the keyboard (at once, or on every
// release of a dragged key-point while Real_time is checked).
//
// Everything modal (questions, prompts, the context menu) goes through the
// session's message service, so the whole window can be driven from tests.
// Sends of another curve than the one being edited wait a short pause on a
// timer; the window keeps drawing meanwhile and the edited curve (key-points
// and table) is never touched by them.
//
// Ctrl+Z steps back through the working curve's history and Ctrl+Shift+Z
// (or Ctrl+Y) forward again. One step is a whole drag, a Load (of the chosen
// preset or file), New, Default or a restored kept curve. With Real_time
// checked, the curve a step brings back is sent as a released drag's is.
//
// With "Monitor" checked the window listens to the chosen MIDI input and
// shows where each struck key lands under the present curve. The input is
// open only while the box is checked and the window is up: closing the window
// closes it, so a transfer started afterwards finds the input free.
#include "curve/widgets/CurveEditorState.h"
#include "session/Session.h"

#include <QDialog>
#include <QString>

#include <array>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QUndoStack;

namespace quillon::ui {
class ColourListBox;
class PercentBar;
} // namespace quillon::ui

namespace quillon::curve {

class CurveCanvas;
class CurveSender;
class MonitorFeed;
class VelocityMonitor;

class CurveEditor : public QDialog {
    Q_OBJECT
public:
    enum class ActiveList { None = 0, Presets = 1, Files = 2 };

    explicit CurveEditor(session::Session& session, QWidget* parent = nullptr);
    ~CurveEditor() override;

    // The state behind the window (working curve, slots, switches, drag).
    const CurveEditorState& state() const { return m_state; }
    ActiveList activeList() const { return m_activeList; }
    QString fileName() const { return m_fileName; }

    CurveCanvas& canvas() const { return *m_canvas; }
    ui::ColourListBox& presetList() const;
    QListWidget& fileList() const { return *m_files; }
    QLineEdit& fileNameField() const { return *m_fileNameField; }
    QLineEdit& sourceCell(int row) const { return *m_sourceCells.at(static_cast<std::size_t>(row)); }
    QLineEdit& newCell(int row) const { return *m_newCells.at(static_cast<std::size_t>(row)); }
    QCheckBox& gridBox() const { return *m_grid; }
    QCheckBox& vertexBox() const { return *m_vertex; }
    QCheckBox& realTimeBox() const { return *m_realTime; }
    QCheckBox& monitorBox() const { return *m_monitor; }
    // The keys counted since "Monitor" was last checked.
    const VelocityMonitor& velocityMonitor() const;
    bool monitorInputOpen() const;
    QLabel& hintLine() const { return *m_hint; }
    ui::PercentBar& progressBar() const { return *m_progress; }
    // The push button with this text, or nullptr.
    QPushButton* button(const QString& text) const;
    // The working curve's history (undo and redo).
    QUndoStack& history() const { return *m_history; }
    // True while a paused send has not left yet.
    bool sendWaiting() const;

    // The drawing area's pop-up, built afresh for the slots' current state;
    // its actions run the commands when triggered.
    QMenu* buildContextMenu(QWidget* parent);

    // The commands of the buttons and the menu.
    void newCurve();
    void defaultCurve();
    void load();
    void save();
    void deleteSelectedFile();
    void sendSelected();
    void keepCurve(std::size_t slot);
    void showCurve(std::size_t slot);
    void restoreCurve(std::size_t slot);
    void sendKeptCurve(std::size_t slot);
    void deleteKeptCurve(std::size_t slot);

    void done(int result) override;

private:
    void buildControls();
    void resetEditor();
    void fillFileList();
    void redraw();
    void showColumns();
    void showMembers();
    void showProgressAtZero();
    // Asks whether to send the default curve just shown, and sends it on Yes.
    void offerToSendDefault();
    void sendCurveNow(const Table& table);
    // Adds a history step from `before` to the present key-points, if they differ.
    void recordStep(const KeyPoints& before, const QString& what);
    // Shows key-points that the history brings back (and sends them with Real_time).
    void showStep(const KeyPoints& points);

    void onPresetChosen();
    void onFileChosen();
    void chooseEntry(ActiveList list);
    void onCanvasPressed(QPoint position);
    void onCanvasMoved(QPoint position);
    void onCanvasReleased(QPoint position);
    void onContextMenu(QPoint globalPosition);
    void onKeyPointNudged(int index, int right, int up);
    void onMonitorToggled(bool on);

    int selectedPreset() const;
    int selectedFile() const;
    // The listed file whose name equals entry, ignoring case; nullopt when none is.
    std::optional<std::string> listedFile(const std::string& entry) const;
    void showFailure(const std::string& text);

    session::Session& m_session;
    CurveEditorState m_state;
    ActiveList m_activeList = ActiveList::None;
    QString m_fileName;
    bool m_fillingLists = false; // selection changes made by the window itself are not choices

    CurveCanvas* m_canvas = nullptr;
    ui::ColourListBox* m_presets = nullptr;
    QListWidget* m_files = nullptr;
    QLineEdit* m_fileNameField = nullptr;
    std::array<QLineEdit*, CurveEditorState::kRows> m_sourceCells{};
    std::array<QLineEdit*, CurveEditorState::kRows> m_newCells{};
    QCheckBox* m_grid = nullptr;
    QCheckBox* m_vertex = nullptr;
    QCheckBox* m_realTime = nullptr;
    QCheckBox* m_monitor = nullptr;
    MonitorFeed* m_monitorFeed = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QLabel* m_hint = nullptr;
    ui::PercentBar* m_progress = nullptr;
    CurveSender* m_sender = nullptr;
    QUndoStack* m_history = nullptr;
    KeyPoints m_dragStart; // the key-points when the present drag began
};

} // namespace quillon::curve
