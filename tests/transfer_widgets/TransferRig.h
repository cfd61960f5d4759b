#pragma once
// A session rig whose only MIDI backend is the built-in keyboard, chosen for
// both directions. The keyboard's stored items are recorded in arrival order,
// so a slot written twice shows both writes.
#include "../support/QtTestMain.h"
#include "../support/SessionRig.h"

#include "midi/core/DeviceFrame.h"
#include "transfer/widgets/SendCommands.h"
#include "transfer/widgets/SendFileDialog.h"
#include "ui/EditableList.h"

#include <QComboBox>
#include <QRegularExpression>
#include <QWidget>
#include <QtTest>

#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace quillon::testing {

// Picks a slot in the "Nume" drop-down of a row, as the user does.
inline bool chooseSlot(transfer::SendFileDialog& window, int row, const QString& label)
{
    auto& list = window.list();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.cellRect(row, transfer::SendFileDialog::SlotColumn).center());
    auto* combo = qobject_cast<QComboBox*>(list.activeEditor());
    if (!combo)
        return false;
    combo->setCurrentIndex(combo->findText(label, Qt::MatchStartsWith));
    QTest::keyClick(combo, Qt::Key_Return);
    return list.cellText(row, transfer::SendFileDialog::SlotColumn) == label;
}

struct StoredItem {
    int slot = 0; // 0 for a ROM image
    frame::Bytes bytes;
    bool operator==(const StoredItem&) const = default;
};

class TransferRig : public SessionRig {
public:
    TransferRig() : SessionRig(backendsOf(std::make_unique<midi::VirtualKeyboard>())), keyboard(*midi->keyboard())
    {
        chooseKeyboard();
        // Called on the thread that sent the message, outside the keyboard's lock.
        keyboard.setEventListener([this](const std::string& line) {
            static const QRegularExpression songStored(QStringLiteral("song slot (\\d+) stored"));
            const auto match = songStored.match(QString::fromStdString(line));
            if (match.hasMatch()) {
                const int slot = match.captured(1).toInt();
                stored.push_back({slot, keyboard.song(slot).value_or(frame::Bytes{})});
            } else if (line.find("ROM image stored") != std::string::npos) {
                stored.push_back({0, keyboard.romImage().value_or(frame::Bytes{})});
            }
        });
    }

    ~TransferRig() { keyboard.setEventListener({}); }

    // A format-0 song of exactly `size` bytes (at least 14): header, then noise.
    static frame::Bytes songBytes(std::size_t size, unsigned seed)
    {
        frame::Bytes bytes = noise(size, seed);
        const std::uint8_t head[14] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96};
        std::copy(std::begin(head), std::end(head), bytes.begin());
        return bytes;
    }

    frame::Bytes writeSong(const std::string& name, std::size_t size, unsigned seed)
    {
        frame::Bytes bytes = songBytes(size, seed);
        write(folders.songPath(name), bytes);
        return bytes;
    }

    frame::Bytes writeRom(const std::string& name, std::size_t size, unsigned seed)
    {
        frame::Bytes bytes = noise(size, seed);
        write(folders.romPath(name), bytes);
        return bytes;
    }

    static void write(const std::filesystem::path& path, const frame::Bytes& bytes) { writeBytes(path, bytes); }

    static frame::Bytes noise(std::size_t size, unsigned seed)
    {
        std::mt19937 random(seed);
        frame::Bytes bytes(size);
        for (auto& byte : bytes)
            byte = static_cast<std::uint8_t>(random());
        return bytes;
    }

    // Runs a command that opens the Send File window; `during` drives the
    // window while it is open (shown and active), as the user would.
    void whileWindowOpen(std::function<void(transfer::SendFileDialog&)> during)
    {
        messages.onNextDialog([during = std::move(during)](QDialog& dialog) {
            auto& window = dynamic_cast<transfer::SendFileDialog&>(dialog);
            window.show();
            window.activateWindow();
            during(window);
        });
    }

    // Confirms a song Send of `names`; `during` drives the window it opens.
    void sendSongs(const std::vector<std::string>& names, std::function<void(transfer::SendFileDialog&)> during)
    {
        messages.answerNext(ui::MessageAnswer::Yes);
        whileWindowOpen(std::move(during));
        transfer::sendSongs(owner, session, names);
    }

    midi::VirtualKeyboard& keyboard;
    QWidget owner;
    std::vector<StoredItem> stored;
};

} // namespace quillon::testing
