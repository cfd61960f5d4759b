// Every window at its dialog-unit size, with the named fonts mapped onto the
// free metric-compatible ones; each is grabbed to a PNG under the build folder
// (screenshots/) so a reviewer can look at it.
#include "../support/QtTestMain.h"
#include "../support/SessionRig.h"
#include "FakeBackend.h"

#include "app/widgets/AboutDialog.h"
#include "app/widgets/CategoryList.h"
#include "app/widgets/FileListWidget.h"
#include "app/widgets/MainWindow.h"
#include "base/widgets/NamePrompt.h"
#include "midi/widgets/SetDeviceDialog.h"
#include "ui/DialogUnits.h"
#include "ui/MessageService.h"

#include <QDir>
#include <QFontInfo>
#include <QPushButton>
#include <QtTest>

using quillon::ui::dialogFont;
using quillon::ui::DialogUnits;

namespace {

QString screenshotPath(const QString& name)
{
    const QString folder = QStringLiteral(QUILLON_BINARY_DIR) + "/screenshots";
    QDir().mkpath(folder);
    return folder + "/" + name + ".png";
}

// Shows the window, grabs it to a PNG and checks its size against the layout's units.
void grabAndCheck(QWidget& window, const QString& name, int widthUnits, int heightUnits)
{
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const DialogUnits units(window.font());
    QCOMPARE(window.size(), units.size(widthUnits, heightUnits));
    const QPixmap picture = window.grab();
    QVERIFY(!picture.isNull());
    QVERIFY(picture.save(screenshotPath(name)));
}

} // namespace

class WindowPicturesTest : public QObject {
    Q_OBJECT
private slots:
    void namedFontsMapOntoFreeFonts()
    {
        QCOMPARE(QFontInfo(dialogFont("Arial", 9)).family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(QFontInfo(dialogFont("Times New Roman", 9)).family(), QStringLiteral("Liberation Serif"));
        QVERIFY(!QFontInfo(dialogFont("System", 9)).family().isEmpty());
    }

    void unitsFollowTheFontAndNeighboursMeetWithoutAGap()
    {
        const QFont font = dialogFont("Arial", 9);
        const DialogUnits units(font);
        QCOMPARE(units.toPixelsY(8), QFontMetrics(font).height());
        QCOMPARE(units.toPixelsX(400), 100 * units.averageCharWidth());
        const QRect left = units.rect(8, 6, 41, 14);
        const QRect right = units.rect(49, 6, 10, 14);
        QCOMPARE(left.right() + 1, right.left());
    }

    void mainWindow()
    {
        quillon::testing::SessionRig rig;
        rig.createInOrder("mid", {"C major scale.mid", "Broken chords.mid", "Little tune.mid"});
        quillon::app::MainWindow window(rig.session);
        grabAndCheck(window, "main-window", 229, 240);

        // The padded category entry still shows its whole pattern in the closed box.
        const int field = window.categoryList().width() - 30;
        const QString shown = window.categoryList().shownText(field);
        QVERIFY(shown.endsWith("*.mid"));
        QVERIFY(QFontMetrics(window.categoryList().font()).horizontalAdvance(shown) <= field);
    }

    void setDeviceDialog()
    {
        quillon::testing::FakeMidi midi;
        midi.backend->setOutputs({{0, "USB Keyboard MIDI 1"}, {1, "Synth Out"}});
        midi.backend->setInputs({{0, "USB Keyboard MIDI 1"}});
        quillon::midi::SetDeviceDialog dialog(*midi.system, quillon::midi::PortChoice::notChosen(),
                                              quillon::midi::PortChoice::notChosen());
        grabAndCheck(dialog, "set-device", 222, 71);
    }

    void smallDialogs()
    {
        quillon::testing::SessionRig rig;
        quillon::base::NameDialog name(rig.session);
        grabAndCheck(name, "name-prompt", 166, 57);
        quillon::base::ReplaceDialog replace;
        grabAndCheck(replace, "replace-prompt", 161, 53);
        quillon::app::AboutDialog about;
        grabAndCheck(about, "about", 202, 56);
    }
};

QUILLON_QTEST(WindowPicturesTest)
#include "WindowPicturesTest.moc"
