#pragma once
// One curve editor over a scratch data folder, a recording message service
// and a MIDI system made of the built-in keyboard plus a scripted port whose
// send result a test chooses. Helpers drive the window the way a user does.
#include "app/widgets/Session.h"
#include "curve/core/CurveFile.h"
#include "curve/widgets/CurveCanvas.h"
#include "curve/widgets/CurveEditor.h"
#include "midi/io/MidiSystem.h"
#include "midi/io/VirtualKeyboard.h"
#include "ui/ColourListBox.h"
#include "ui/MessageService.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace quillon::testing {

// A port that records what it is given and answers with a chosen result.
class ScriptedBackend : public midi::Backend {
public:
    static constexpr const char* kName = "Scripted";

    midi::SendResult result = midi::SendResult::Sent;
    bool opens = true;
    std::vector<std::vector<std::uint8_t>> sent;

    std::string name() const override { return kName; }
    std::vector<midi::PortInfo> outputs() override { return {{port(), "scripted out"}}; }
    std::vector<midi::PortInfo> inputs() override { return {}; }
    std::unique_ptr<midi::OutputConnection> openOutput(const midi::PortRef&) override
    {
        if (!opens)
            return nullptr;
        return std::make_unique<Connection>(*this);
    }
    std::unique_ptr<midi::InputConnection> openInput(const midi::PortRef&, midi::ShortMessageCallback) override
    {
        return nullptr;
    }
    static midi::PortRef port() { return {kName, "scripted out", 0}; }

private:
    class Connection : public midi::OutputConnection {
    public:
        explicit Connection(ScriptedBackend& owner) : m_owner(owner) {}
        midi::SendResult send(std::span<const std::uint8_t> message) override
        {
            if (m_owner.result == midi::SendResult::Sent)
                m_owner.sent.emplace_back(message.begin(), message.end());
            return m_owner.result;
        }

    private:
        ScriptedBackend& m_owner;
    };
};

class EditorHarness {
    QTemporaryDir m_dir; // first: everything else may use the folder

public:
    // Extra backends come after the built-in keyboard and the scripted port.
    explicit EditorHarness(std::vector<std::unique_ptr<midi::Backend>> extra = {})
    {
        std::filesystem::create_directories(crvFolder());
        auto keyboard = std::make_unique<midi::VirtualKeyboard>();
        auto scripted = std::make_unique<ScriptedBackend>();
        this->keyboard = keyboard.get();
        this->scripted = scripted.get();
        std::vector<std::unique_ptr<midi::Backend>> backends;
        backends.push_back(std::move(keyboard));
        backends.push_back(std::move(scripted));
        for (auto& backend : extra)
            backends.push_back(std::move(backend));
        midi = std::make_unique<midi::MidiSystem>(std::move(backends));
        session = std::make_unique<app::Session>(midi.get(), messages, DataFolders(base()));
        chooseKeyboard();
    }

    std::filesystem::path base() const { return std::filesystem::path(m_dir.path().toStdString()); }
    std::filesystem::path crvFolder() const { return base() / "Quillon" / "crv"; }

    void chooseKeyboard()
    {
        session->outputChoice =
            midi::PortChoice::of({midi::VirtualKeyboard::kBackendName, midi::VirtualKeyboard::kPortName, 0});
    }
    void chooseScripted() { session->outputChoice = midi::PortChoice::of(ScriptedBackend::port()); }

    curve::CurveEditor& open()
    {
        editor = std::make_unique<curve::CurveEditor>(*session);
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
        std::ofstream out(crvFolder() / entry, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        QTest::qWait(12);
    }

    // --- the mouse on the drawing area (canvas pixels) ---
    void press(QPoint at) { QTest::mousePress(&editor->canvas(), Qt::LeftButton, {}, at); }
    void moveTo(QPoint at) { QTest::mouseMove(&editor->canvas(), at); }
    void release(QPoint at) { QTest::mouseRelease(&editor->canvas(), Qt::LeftButton, {}, at); }
    void drag(QPoint from, QPoint to)
    {
        press(from);
        moveTo(to);
        release(to);
    }
    static QPoint keyPointPixel(int x, int y) { return curve::CurveCanvas::pointFor(x, y); }

    // --- lists and buttons ---
    void clickRow(QListWidget& list, int row)
    {
        const QRect rect = list.visualItemRect(list.item(row));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rect.center());
    }
    void clickPreset(const QString& name)
    {
        auto& list = editor->presetList();
        for (int row = 0; row < list.count(); ++row)
            if (list.item(row)->text() == name)
                return clickRow(list, row);
        QFAIL("no such preset");
    }
    void clickFile(const QString& name)
    {
        auto& list = editor->fileList();
        for (int row = 0; row < list.count(); ++row)
            if (list.item(row)->text() == name)
                return clickRow(list, row);
        QFAIL("no such file entry");
    }
    void clickButton(const QString& text)
    {
        QPushButton* button = editor->button(text);
        QVERIFY(button != nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // --- the context menu, through a right click on the drawing area ---
    void chooseFromMenu(const QString& entry, const QString& sub = {})
    {
        messages.onNextMenu([entry, sub](QMenu& menu) -> QAction* {
            for (QAction* action : menu.actions()) {
                if (action->text() != entry)
                    continue;
                if (sub.isEmpty())
                    return action;
                for (QAction* inner : action->menu()->actions())
                    if (inner->text() == sub)
                        return inner->isEnabled() ? inner : nullptr;
            }
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

    ui::RecordingMessageService messages;
    midi::VirtualKeyboard* keyboard = nullptr;
    ScriptedBackend* scripted = nullptr;
    std::unique_ptr<midi::MidiSystem> midi;
    std::unique_ptr<app::Session> session;
    std::unique_ptr<curve::CurveEditor> editor;
};

// The table as the keyboard stores it.
inline std::array<std::uint8_t, 128> asBytes(const curve::Table& table)
{
    std::array<std::uint8_t, 128> bytes{};
    for (std::size_t v = 0; v < 128; ++v)
        bytes[v] = static_cast<std::uint8_t>(table[v]);
    return bytes;
}

} // namespace quillon::testing
