#pragma once
// A scratch working directory holding a "Quillon/" tree, made the process's
// current directory for as long as the fixture lives (the program resolves its
// data folder against the working directory).
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quillon::testing {

class DataFolderFixture {
public:
    DataFolderFixture() : m_previous(QDir::currentPath())
    {
        for (const char* folder : {"mid", "bin", "crv", "syx", "helpfiles"})
            std::filesystem::create_directories(root() / "Quillon" / folder);
        QDir::setCurrent(m_dir.path());
    }
    ~DataFolderFixture() { QDir::setCurrent(m_previous); }
    DataFolderFixture(const DataFolderFixture&) = delete;
    DataFolderFixture& operator=(const DataFolderFixture&) = delete;

    std::filesystem::path root() const { return std::filesystem::path(m_dir.path().toStdString()); }
    std::filesystem::path folder(const char* name) const { return root() / "Quillon" / name; }

    // Creates the files one after another, far enough apart that each has a
    // later creation time than the one before.
    void createInOrder(const char* folderName, const std::vector<std::string>& names) const
    {
        for (const std::string& name : names) {
            std::ofstream(folder(folderName) / name) << "MThd" << name;
            QTest::qWait(15);
        }
    }

private:
    QString m_previous;
    QTemporaryDir m_dir;
};

} // namespace quillon::testing
