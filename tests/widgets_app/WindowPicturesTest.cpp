// What the windows draw with: the named fonts mapped onto the free
// metric-compatible ones and glyphs for every text; screen readers get a name
// for every control of every window.
#include "../support/QtTestMain.h"
#include "../support/SessionRig.h"

#include "app/widgets/AboutDialog.h"
#include "app/widgets/MainWindow.h"
#include "base/core/Messages.h"
#include "base/widgets/NamePrompt.h"
#include "curve/widgets/CurveEditor.h"
#include "midi/widgets/SetDeviceDialog.h"
#include "player/widgets/MidiPlayWindow.h"
#include "transfer/widgets/SendFileDialog.h"
#include "ui/DialogUnits.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QGlyphRun>
#include <QLabel>
#include <QLineEdit>
#include <QRawFont>
#include <QTextLayout>
#include <QtTest>

using quillon::ui::dialogFont;

namespace {

// The characters of a text that would draw as empty boxes in this font, with
// Qt's own choice of fallback font for each character the font itself lacks.
QString charactersWithoutGlyphs(const QString& text, const QFont& font)
{
    QString missing;
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        QTextLayout layout(QString(c), font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        const QList<QGlyphRun> runs = layout.glyphRuns();
        const bool drawn = !runs.isEmpty() && std::all_of(runs.begin(), runs.end(), [c](const QGlyphRun& run) {
            return run.rawFont().supportsCharacter(c) && !run.glyphIndexes().contains(0);
        });
        if (!drawn)
            missing += c;
    }
    return missing;
}

} // namespace

class WindowPicturesTest : public QObject {
    Q_OBJECT
private slots:
    // The named fonts map onto the free metric-compatible ones (the dialogs are laid out
    // in their units); the full-width question mark and the Chinese menu text need a font beyond them.
    void namedFontsMapAndEastAsianTextsDrawRealGlyphs()
    {
        QCOMPARE(QFontInfo(dialogFont("Times New Roman", 9)).family(), QStringLiteral("Liberation Serif"));
        QCOMPARE(QFontInfo(dialogFont("Arial", 9)).family(), QStringLiteral("Liberation Sans"));
        quillon::base::ReplaceDialog replace;
        const QString question = QString::fromUtf8(quillon::text::kReplaceQuestion.data());
        QLabel* label = nullptr;
        for (QLabel* candidate : replace.findChildren<QLabel*>())
            if (candidate->text() == question)
                label = candidate;
        QVERIFY(label);
        QCOMPARE(charactersWithoutGlyphs(question, label->font()), QString());
        // Message boxes and menus draw in the program's own font.
        for (const std::string_view text : {quillon::text::kFileExistsReplace, quillon::text::kAboutMenuEntry})
            QCOMPARE(
                charactersWithoutGlyphs(QString::fromUtf8(text.data(), qsizetype(text.size())), QApplication::font()),
                QString());
    }

    // Every control of every window (whatever takes the focus, every field)
    // has a name.
    void everyControlHasAnAccessibleName()
    {
        quillon::testing::FakeMidi rig;
        quillon::player::MidiPlayOptions silent;
        silent.makeSynthesizer = [](QString&) { return nullptr; };
        std::vector<std::unique_ptr<QWidget>> windows;
        windows.push_back(std::make_unique<quillon::app::MainWindow>(rig.session));
        windows.push_back(std::make_unique<quillon::app::AboutDialog>());
        windows.push_back(std::make_unique<quillon::midi::SetDeviceDialog>(
            *rig.session.midi(), quillon::midi::PortChoice::notChosen(), quillon::midi::PortChoice::notChosen()));
        windows.push_back(std::make_unique<quillon::curve::CurveEditor>(rig.session));
        windows.push_back(std::make_unique<quillon::player::MidiPlayWindow>(rig.session, silent));
        windows.push_back(std::make_unique<quillon::transfer::SendFileDialog>(rig.session));
        windows.push_back(std::make_unique<quillon::base::NameDialog>(rig.session));
        windows.push_back(std::make_unique<quillon::base::ReplaceDialog>());
        for (const auto& window : windows) {
            window->show();
            for (QWidget* part : window->findChildren<QWidget*>()) {
                if (!part->isVisible() || (part->focusPolicy() == Qt::NoFocus && !qobject_cast<QLineEdit*>(part)))
                    continue;
                QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(part);
                const QString what = window->windowTitle() + ": " + part->metaObject()->className();
                QVERIFY2(spoken && !spoken->text(QAccessible::Name).isEmpty(), qPrintable(what));
            }
        }
    }
};

QUILLON_QTEST(WindowPicturesTest)
#include "WindowPicturesTest.moc"
