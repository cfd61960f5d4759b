// The data folder shipped with the program: its songs are format-0 MIDI files
// with notes, its curves read back, its help page exists, and `quillon-cli
// make-demo` writes exactly the shipped files again (so they have no other source).
#include "curve/core/CurveFile.h"
#include "player/core/MidiFile.h"
#include "transfer/core/SongCheck.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kShipped = QUILLON_DATA_DIR;

std::vector<std::uint8_t> readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> filesIn(const fs::path& folder, const char* extension)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == extension)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

class DemoDataTest : public QObject {
    Q_OBJECT
private slots:
    void shippedSongsAreFormatZeroWithNotes()
    {
        const auto songs = filesIn(kShipped / "mid", ".mid");
        QCOMPARE(songs.size(), std::size_t(3));
        for (const fs::path& song : songs) {
            const auto bytes = readAll(song);
            QVERIFY2(!quillon::transfer::checkSongHead(bytes).has_value(), song.c_str());
            const auto parsed = quillon::player::readMidiFile(bytes);
            QVERIFY2(parsed.ok(), song.c_str());
            QCOMPARE(parsed->format, 0);
            QCOMPARE(parsed->tracks.size(), std::size_t(1));
            int noteOns = 0;
            for (const auto& event : parsed->tracks[0].events)
                if (event.kind == quillon::player::EventKind::Channel && (event.status & 0xF0) == 0x90)
                    ++noteOns;
            QVERIFY2(noteOns >= 8, song.c_str());
            QVERIFY(parsed->tracks[0].endTick > 0);
        }
    }

    void shippedCurvesRomAndHelpAreThere()
    {
        const auto curves = filesIn(kShipped / "crv", ".crv");
        QCOMPARE(curves.size(), std::size_t(3));
        for (const fs::path& file : curves) {
            const auto curve = quillon::curve::readCurveFile(file);
            QVERIFY2(curve.ok(), file.c_str());
            QCOMPARE(curve->table.front(), 0);
            QCOMPARE(curve->table.back(), 127);
        }
        const auto roms = filesIn(kShipped / "bin", ".bin");
        QCOMPARE(roms.size(), std::size_t(1));
        QCOMPARE(fs::file_size(roms[0]), std::uintmax_t(4096));
        QVERIFY(fs::file_size(kShipped / "helpfiles" / "Index.htm") > 1000);
        QVERIFY(fs::is_directory(kShipped / "syx"));
    }

    void makeDemoWritesTheShippedFiles()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + "/Quillon";
        QProcess cli;
        cli.start(QStringLiteral(QUILLON_BINARY_DIR) + "/src/cli/quillon-cli", {"make-demo", "--folder", folder});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        int compared = 0;
        for (const char* sub : {"mid", "bin", "crv"})
            for (const auto& entry : fs::directory_iterator(kShipped / sub)) {
                const fs::path fresh = fs::path(folder.toStdString()) / sub / entry.path().filename();
                QVERIFY2(fs::exists(fresh), fresh.c_str());
                QVERIFY2(readAll(fresh) == readAll(entry.path()), fresh.c_str());
                ++compared;
            }
        QCOMPARE(compared, 7);
    }
};

QTEST_MAIN(DemoDataTest)
#include "DemoDataTest.moc"
