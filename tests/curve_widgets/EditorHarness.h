#pragma once
// One curve editor over a session rig whose MIDI system is the built-in
// keyboard, then a scripted port whose send result a test chooses, then any
// backends the test adds. Helpers drive the window the way a user does.
#include "../support/FakeBackend.h"
#include "../support/QtTestMain.h"
#include "../support/SessionRig.h"

#include "curve/core/CurveFile.h"
#include "curve/widgets/CurveCanvas.h"
#include "curve/widgets/CurveEditor.h"
#include "ui/ColourListBox.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace quillon::testing {

class EditorHarness : public SessionRig {
public:
    explicit EditorHarness(std::vector<std::unique_ptr<midi::Backend>> extra = {})
        : SessionRig(withOwnPorts(std::move(extra))), keyboard(midi->keyboard()), scripted(&backend<FakeBackend>(1))
    {
        chooseKeyboard();
    }

    std::filesystem::path crvFolder() const { return folder("crv"); }

    curve::CurveEditor& open()
    {
        editor = std::make_unique<curve::CurveEditor>(session);
        editor->show();
        return *editor;
    }

    // Writes a curve file; files written one after another get later creation times.
    void writeCurve(const std::string& entry, const curve::KeyPoints& points, const curve::Table* table = nullptr)
    {
        curve::StoredCurve stored{table ? *table : curve::computeCurveTable(points), points};
        writeBytes(entry, curve::encodeCurveFile(stored));
    }
    void writeBytes(const std::string& entry, const std::vector<std::uint8_t>& bytes)
    {
        testing::writeBytes(crvFolder() / entry, bytes);
        QTest::qWait(12);
    }

    // The mouse on the drawing area, in canvas pixels.
    void press(QPoint at) { QTest::mousePress(&editor->canvas(), Qt::LeftButton, {}, at); }
    void moveTo(QPoint at) { QTest::mouseMove(&editor->canvas(), at); }
    void release(QPoint at) { QTest::mouseRelease(&editor->canvas(), Qt::LeftButton, {}, at); }
    void drag(QPoint from, QPoint to)
    {
        press(from);
        moveTo(to);
        release(to);
    }

    void clickEntry(QListWidget& list, const QString& name)
    {
        for (int row = 0; row < list.count(); ++row)
            if (list.item(row)->text() == name)
                return QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                                         list.visualItemRect(list.item(row)).center());
        QFAIL(qPrintable("no entry " + name));
    }
    void clickPreset(const QString& name) { clickEntry(editor->presetList(), name); }
    void clickFile(const QString& name) { clickEntry(editor->fileList(), name); }
    void clickButton(const QString& text)
    {
        QPushButton* button = editor->button(text);
        QVERIFY(button != nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // An entry of a submenu of the context menu, through a right click on the drawing area.
    void chooseFromMenu(const QString& entry, const QString& sub)
    {
        messages.onNextMenu([entry, sub](QMenu& menu) -> QAction* {
            for (QAction* action : menu.actions())
                if (action->text() == entry)
                    for (QAction* inner : action->menu()->actions())
                        if (inner->text() == sub)
                            return inner->isEnabled() ? inner : nullptr;
            return nullptr;
        });
        QTest::mousePress(&editor->canvas(), Qt::RightButton, {}, QPoint(100, 100));
    }

    std::vector<std::string> listedFiles() const
    {
        std::vector<std::string> names;
        for (int row = 0; row < editor->fileList().count(); ++row)
            names.push_back(editor->fileList().item(row)->text().toStdString());
        return names;
    }

    midi::VirtualKeyboard* keyboard;
    FakeBackend* scripted;
    std::unique_ptr<curve::CurveEditor> editor;

private:
    static std::vector<std::unique_ptr<midi::Backend>> withOwnPorts(std::vector<std::unique_ptr<midi::Backend>> extra)
    {
        auto backends = backendsOf(std::make_unique<midi::VirtualKeyboard>(),
                                   std::make_unique<FakeBackend>("Scripted", std::vector<std::string>{"out"}));
        for (auto& backend : extra)
            backends.push_back(std::move(backend));
        return backends;
    }
};

// The name prompt: type a name, press OK.
inline auto typeAndOk(const QString& name)
{
    return [name](QDialog& dialog) {
        dialog.findChild<QLineEdit*>()->setText(name);
        dialog.accept();
    };
}

// The table as the keyboard stores it.
inline std::array<std::uint8_t, 128> asBytes(const curve::Table& table)
{
    std::array<std::uint8_t, 128> bytes{};
    for (std::size_t v = 0; v < 128; ++v)
        bytes[v] = static_cast<std::uint8_t>(table[v]);
    return bytes;
}

} // namespace quillon::testing
