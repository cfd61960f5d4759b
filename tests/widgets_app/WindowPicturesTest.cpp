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
#include "app/widgets/NamePrompt.h"
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
        QCOMPARE(dialogFont("Arial", 9).pointSize(), 9);
        QVERIFY(!QFontInfo(dialogFont("System", 9)).family().isEmpty());
    }

    void unitsFollowTheFontMetrics()
    {
        const QFont font = dialogFont("Arial", 9);
        const QFontMetrics metrics(font);
        const DialogUnits units(font);
        QCOMPARE(units.charHeight(), metrics.height());
        const double average = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0;
        QVERIFY(std::abs(units.averageCharWidth() - average) <= 0.5);
        QCOMPARE(units.toPixelsX(4), units.averageCharWidth());
        QCOMPARE(units.toPixelsY(8), units.charHeight());
        QCOMPARE(units.toPixelsX(400), 100 * units.averageCharWidth());

        // Neighbouring rectangles meet without a gap or an overlap.
        const QRect left = units.rect(8, 6, 41, 14);
        const QRect right = units.rect(49, 6, 10, 14);
        QCOMPARE(left.right() + 1, right.left());
        QCOMPARE(left.top(), units.toPixelsY(6));

        // A bigger font gives bigger units.
        const DialogUnits larger(dialogFont("Arial", 18));
        QVERIFY(larger.toPixelsX(100) > units.toPixelsX(100));
        QVERIFY(larger.toPixelsY(100) > units.toPixelsY(100));
    }

    void mainWindow()
    {
        quillon::testing::SessionRig rig;
        rig.createInOrder("mid", {"C major scale.mid", "Broken chords.mid", "Little tune.mid"});
        quillon::app::MainWindow window(rig.session);
        grabAndCheck(window, "main-window", 229, 240);

        // The button row and the frame stand where the layout puts them.
        const DialogUnits units(window.font());
        QCOMPARE(window.button("About").geometry(), units.rect(180, 6, 38, 14));
        QCOMPARE(window.button("V.Curve").geometry(), units.rect(8, 6, 41, 14));
        QCOMPARE(window.fileList().geometry().right(), units.rect(20, 47, 190, 179).right());
        QCOMPARE(window.fileList().geometry().bottom(), units.rect(20, 47, 190, 179).bottom());

        // The padded category entry still shows its whole pattern in the closed box.
        const int field = window.categoryList().width() - 30;
        const QString shown = window.categoryList().shownText(field);
        QVERIFY(shown.endsWith("*.mid"));
        QVERIFY(QFontMetrics(window.categoryList().font()).horizontalAdvance(shown) <= field);
        QCOMPARE(window.categoryList().currentText().size(), 90);
    }

    void aboutDialog()
    {
        quillon::app::AboutDialog about;
        grabAndCheck(about, "about", 202, 56);
        QCOMPARE(about.windowTitle(), QStringLiteral("About Quillon"));
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

    void namePromptAndReplacePrompt()
    {
        quillon::testing::SessionRig rig;
        quillon::app::NameDialog name(rig.session);
        grabAndCheck(name, "name-prompt", 166, 57);
        QCOMPARE(name.windowTitle(), QStringLiteral("Filename"));
        quillon::app::ReplaceDialog replace;
        grabAndCheck(replace, "replace-prompt", 161, 53);
        QCOMPARE(replace.windowTitle(), QStringLiteral("Save file"));
    }
};

QUILLON_QTEST(WindowPicturesTest)
#include "WindowPicturesTest.moc"
