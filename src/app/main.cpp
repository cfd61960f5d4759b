// quillon: the desktop program. It shows the main window and ends when that
// window closes; nothing is saved between runs. The data folder "Quillon/" is
// found relative to the working directory.
#include "app/widgets/Program.h"
#include "base/core/Version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <cstdio>

namespace {

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Quillon: MIDI ports, velocity curves, songs and ROM images for the keyboard.\n"
                       "Reads and writes its files below Quillon/ in the working directory."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    // Qt's options of the other window systems (X11's -display, -geometry,
    // -visual; Windows' -dialogs=, -fontengine=): the window system they
    // belong to takes them itself; elsewhere they are accepted and unused, so
    // a command line written for one desktop still starts the program on another.
    for (const char* name : {"display", "geometry", "title", "name", "icon", "visual", "dialogs", "fontengine"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication::setApplicationName(QStringLiteral("quillon"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION));

    // --help and --version are answered before the window system is reached,
    // so they work on a terminal without a display (--help-all, which lists
    // the window system's own options too, is left to the full parse below).
    // Qt's own options are single-dash words (-reverse, -stylesheet FILE): both
    // parsers read a single dash as a whole word, never as a bundle of letters,
    // or -reverse would ask for the version and -platformtheme for the help. The
    // early parse ignores the words it does not know; QApplication takes its own.
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        QCommandLineParser early;
        describe(early);
        early.parse(arguments);
        if (early.isSet(QStringLiteral("version"))) {
            std::printf("quillon %s\n%s\n", QUILLON_VERSION, QUILLON_VERSION_NOTICE);
            return 0;
        }
        if (early.isSet(QStringLiteral("help"))) {
            // Without an application object Qt cannot name the program in its usage line.
            const QString help =
                early.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("quillon"));
            std::fputs(help.toLocal8Bit().constData(), stdout);
            return 0;
        }
    }

    QApplication application(argc, argv);
    // What the window system's own options leave is checked strictly: an
    // unknown option ends the program with a message instead of being ignored.
    QCommandLineParser parser;
    describe(parser);
    // quillon-start's errors, shown where a user started from a menu sees them.
    QCommandLineOption launchError(QStringLiteral("launch-error"), QString(), QStringLiteral("text"));
    launchError.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(launchError);
    parser.process(application);
    if (parser.isSet(launchError)) {
        QMessageBox::critical(nullptr, QStringLiteral("Quillon"), parser.value(launchError));
        return 0;
    }

    quillon::app::Program::setIdentity();
    quillon::app::Program program;
    program.mainWindow().exec();
    return 0;
}
