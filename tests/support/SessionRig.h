#pragma once
// What a window test starts from: a scratch data folder with its five folders,
// a recording message service standing in for every dialog, menu and message
// box, a MIDI system over the backends the test hands in (none: no MIDI at
// all) and the session tying them together.
#include "FakeBackend.h"
#include "TempFolder.h"

#include "midi/io/MidiSystem.h"
#include "midi/io/VirtualKeyboard.h"
#include "session/Session.h"
#include "ui/MessageService.h"

#include <QDir>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace quillon::testing {

template <typename... B>
std::vector<std::unique_ptr<midi::Backend>> backendsOf(std::unique_ptr<B>... backends)
{
    std::vector<std::unique_ptr<midi::Backend>> list;
    (list.push_back(std::move(backends)), ...);
    return list;
}

inline midi::PortChoice keyboardPort()
{
    return midi::PortChoice::of({midi::VirtualKeyboard::kBackendName, midi::VirtualKeyboard::kPortName, 0});
}

class SessionRig {
public:
    // Where the session finds its data folder: below the scratch folder as its
    // base, or as "Quillon/" relative to the working directory, which is moved
    // into the scratch folder while the rig lives (as the program is run).
    enum class Folder { Base, WorkingDirectory };

    explicit SessionRig(std::vector<std::unique_ptr<midi::Backend>> backends = {}, Folder where = Folder::Base)
        : folders(where == Folder::Base ? DataFolders(scratch.path()) : DataFolders()), handedIn(rawPointers(backends)),
          midi(backends.empty() ? nullptr : std::make_unique<midi::MidiSystem>(std::move(backends))),
          session(midi.get(), messages, folders), m_previous(QDir::currentPath())
    {
        for (const char* name : {"mid", "bin", "crv", "syx", "helpfiles"})
            std::filesystem::create_directories(folder(name));
        if (where == Folder::WorkingDirectory)
            QDir::setCurrent(QString::fromStdString(scratch.path().string()));
    }
    ~SessionRig() { QDir::setCurrent(m_previous); }
    SessionRig(const SessionRig&) = delete;
    SessionRig& operator=(const SessionRig&) = delete;

    // A folder of the data folder by name ("mid", "crv", ...), as an absolute path.
    std::filesystem::path folder(const char* name) const { return scratch.path() / "Quillon" / name; }

    // The index-th backend handed in, as its own type.
    template <typename B>
    B& backend(std::size_t index) const
    {
        return dynamic_cast<B&>(*handedIn.at(index));
    }

    // Both directions on the built-in keyboard, as the device dialog would choose them.
    void chooseKeyboard()
    {
        session.outputChoice = keyboardPort();
        session.inputChoice = keyboardPort();
    }

    // Creates the files one after another, far enough apart that each has a
    // later creation time than the one before (lists show the newest first).
    void createInOrder(const char* folderName, const std::vector<std::string>& names) const
    {
        for (const std::string& name : names) {
            scratch.touch("Quillon/" + std::string(folderName) + "/" + name, "MThd" + name);
            QTest::qWait(15);
        }
    }

    // What one of the data folders holds, sorted.
    QStringList onDisk(const char* folderName) const
    {
        QStringList names;
        for (const auto& entry : std::filesystem::directory_iterator(folder(folderName)))
            names << QString::fromStdString(entry.path().filename().string());
        names.sort();
        return names;
    }

    TempFolder scratch;
    DataFolders folders;
    ui::RecordingMessageService messages;
    std::vector<midi::Backend*> handedIn;   // the backends, in the order handed in
    std::unique_ptr<midi::MidiSystem> midi; // null without backends
    session::Session session;

private:
    static std::vector<midi::Backend*> rawPointers(const std::vector<std::unique_ptr<midi::Backend>>& backends)
    {
        std::vector<midi::Backend*> raw;
        for (const auto& backend : backends)
            raw.push_back(backend.get());
        return raw;
    }

    QString m_previous;
};

// A session over one fake backend, kept at hand, with three ports each way to start with.
struct FakeMidi : SessionRig {
    FakeMidi()
        : SessionRig(
              backendsOf(std::make_unique<FakeBackend>("Fake", std::vector<std::string>{"Out A", "Out B", "Out C"},
                                                       std::vector<std::string>{"In A", "In B", "In C"})))
    {
    }
    FakeBackend& fake = backend<FakeBackend>(0);
};

} // namespace quillon::testing
