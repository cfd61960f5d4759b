// quillon: the desktop program. It shows the main window and ends when that
// window closes; nothing is saved between runs. The data folder "Quillon/" is
// found relative to the working directory.
#include "app/widgets/Program.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    quillon::app::Program::setIdentity();
    quillon::app::Program program;
    program.mainWindow().exec();
    return 0;
}
