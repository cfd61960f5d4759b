#pragma once
// Quillon's main window: the button row that opens the other tools, the file
// category drop-down, the file list of the chosen data folder (newest first)
// and its context menus. Closing it (close box, Enter, Esc) ends the program.
// Sending and playing belong to other windows: the application plugs them in
// through MainWindowHooks.
//
// Files dropped onto the window are copied into their folders (songs, ROM
// images, curves, SysEx files). An existing name is replaced only after the
// replace prompt's Yes; No keeps both, the copy under a free name. A format 1
// song is offered a format 0 copy. The list then shows the category of the
// dropped songs or ROM images with the new files selected; files that could
// not be copied are named, with the reason, in one message. A file is copied
// only when it is of its kind (see transfer/core/FileIntake.h).
#include "session/Session.h"
#include "transfer/core/FileIntake.h"

#include <QDialog>
#include <QPoint>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QComboBox;
class QGroupBox;
class QMenu;
class QProgressDialog;
class QPushButton;

namespace quillon::app {

class CategoryList;
class FileListWidget;

// What a file command works on: the list as the user sees it.
struct FileSelection {
    session::FileCategory category = session::FileCategory::None;
    std::vector<int> rows;          // selected rows, ascending
    std::vector<std::string> names; // the file names of those rows
    int caretRow = -1;              // the current entry, -1 when there is none
    std::string caretName;
};

struct MainWindowHooks {
    std::function<void(QWidget& parent)> openCurveEditor;
    std::function<void(QWidget& parent, const FileSelection&)> sendSongs;
    std::function<void(QWidget& parent, const FileSelection&)> sendRomImage;
    // Called after the session's playHandOver has been set.
    std::function<void(QWidget& parent, const FileSelection&)> playSongs;
};

class MainWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDragStripHeight = 50;
    static constexpr int kCategoryPadding = 85; // blanks before each category pattern
    static inline const QString kHomePage = QStringLiteral("https://quillon.example.org/");

    explicit MainWindow(session::Session& session, QWidget* parent = nullptr);
    ~MainWindow() override; // waits for a drop's copying to end

    void setHooks(MainWindowHooks hooks) { m_hooks = std::move(hooks); }

    // The pop-up of a category's commands, built afresh; nullptr for no category.
    // Its actions run the commands when triggered.
    QMenu* buildFileMenu(session::FileCategory category, QWidget* parent);
    // Shows the current category's menu at a screen point.
    void showFileMenu(const QPoint& screenPoint);

    FileSelection currentSelection() const;
    void refillFileList();
    // Each song's tooltip says where this computer stored it on the chosen keyboard.
    void showWhereStored();
    // Lists the current category afresh, keeps the selected files selected
    // except `deselect`, and adds the file `fileName` to the selection as the
    // current entry; false when it is not listed.
    bool refillAndSelect(const std::string& fileName, const std::string& deselect = {});

    // What a drop of these files does: the replace prompts now, the copying
    // on a thread of its own; dropTaken() tells when it is over.
    void dropFiles(const std::vector<std::filesystem::path>& files);

    // The commands of the menus.
    void playSelected();
    void sendSelectedSongs();
    void sendSelectedRomImage();
    void deleteSelectedSongs();
    void deleteCaretRomImage();
    // The Delete key: the menu's Delete of the category, under the menu's condition.
    void deleteFromKeyboard();

    CategoryList& categoryList() const { return *m_categories; }
    FileListWidget& fileList() const { return *m_files; }
    QPushButton& button(const QString& text) const;

signals:
    void dropTaken();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void onCategoryChanged(int index);
    void onRightPressed(const QPoint& screenPoint);
    void openDeviceDialog();
    void openAbout();
    void openHelp();
    bool inDragStrip(const QPoint& screenPoint) const;
    // Removes one listed file; false (after telling the user) when it could not be removed.
    bool removeListedFile(const std::filesystem::path& path);
    // Lists the category afresh with exactly these files selected (the first one current).
    void showCategoryWithSelected(session::FileCategory category, const std::vector<std::string>& names);
    // Lists what a drop copied and tells what it could not.
    void finishDrop();

    session::Session& m_session;
    MainWindowHooks m_hooks;
    CategoryList* m_categories = nullptr;
    FileListWidget* m_files = nullptr;
    QGroupBox* m_frame = nullptr;
    std::vector<QPushButton*> m_buttons;
    bool m_dragging = false;
    QPoint m_dragOffset;
    struct DropRun {
        std::vector<base::DropPlan> plans;
        std::vector<Result<transfer::TakenIn>> outcomes; // one per plan, written by the worker
        std::string failures;                            // of the files refused before the copying began
        std::thread worker;
    };
    std::unique_ptr<DropRun> m_drop; // while a drop's files are copied
    QProgressDialog* m_dropProgress = nullptr;
};

} // namespace quillon::app
