// quillon: the desktop program. It shows the main window and ends when that
// window closes; nothing is saved between runs. The data folder "Quillon/" is
// found relative to the working directory.
#include "app/widgets/MainWindow.h"
#include "app/widgets/ProgramHooks.h"
#include "app/widgets/Session.h"
#include "midi/io/MidiSystem.h"
#include "ui/MessageService.h"
#include "ui/ProgramIcon.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setWindowIcon(quillon::ui::programIcon());

    const auto midi = quillon::midi::MidiSystem::createDefault();
    quillon::ui::DesktopMessageService messages;
    quillon::app::Session session(midi.get(), messages);

    quillon::app::MainWindow window(session);
    window.setHooks(quillon::app::programHooks(session));
    window.exec();
    return 0;
}
