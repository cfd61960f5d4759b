// Preloaded (LD_PRELOAD) by install_test.sh into the installed quillon. Once one of
// its windows shows, it writes to $QUILLON_PROBE_OUT the desktop entry the program
// names ("desktop-file: "), its windows' class ("window-class: ") and layout
// direction ("direction: "), each shown window's title ("window: ") and the rows
// of its visible lists ("row: "), then closes the windows as a user would. It only reads.
#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QTimer>

namespace {

QList<QWidget*> shownWindows()
{
    QList<QWidget*> shown;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            shown << window;
    return shown;
}

void report(const QString& path)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    out.write("desktop-file: " + QGuiApplication::desktopFileName().toUtf8() + '\n');
    out.write("window-class: " + QGuiApplication::applicationName().toUtf8() + '\n');
    out.write(QGuiApplication::isRightToLeft() ? "direction: rtl\n" : "direction: ltr\n");
    for (QWidget* window : shownWindows()) {
        out.write("window: " + window->windowTitle().toUtf8() + '\n');
        for (const QListWidget* list : window->findChildren<QListWidget*>())
            if (list->isVisible())
                for (int row = 0; row < list->count(); ++row)
                    out.write("row: " + list->item(row)->text().toUtf8() + '\n');
    }
    out.close();
    for (QWidget* window : shownWindows())
        window->close();
}

void startProbe()
{
    const QString path = qEnvironmentVariable("QUILLON_PROBE_OUT");
    if (path.isEmpty() || qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return;
    auto* poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, [poll, path] {
        if (shownWindows().isEmpty())
            return;
        poll->stop();
        // A moment for the window to finish what it does once it shows.
        QTimer::singleShot(300, [path] { report(path); });
    });
    poll->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startProbe)
