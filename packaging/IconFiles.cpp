// quillon-icon-files FOLDER NAME SIZE...: writes the program icon into an
// icon theme tree, FOLDER/<size>x<size>/apps/NAME.png for each size and
// FOLDER/scalable/apps/NAME.svg, painted by the code that gives the windows
// their icon, so the menu and the window show the same picture.
#include "ui/ProgramIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QSvgGenerator>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc < 4) {
        std::fputs("usage: quillon-icon-files FOLDER NAME SIZE...\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        const QString sub = QStringLiteral("%1x%1/apps").arg(size);
        if (size <= 0 || !folder.mkpath(sub) ||
            !quillon::ui::programPixmap(size).save(folder.filePath(sub + "/" + name + ".png"))) {
            std::fprintf(stderr, "quillon-icon-files: cannot write the %s icon\n", argv[i]);
            return 1;
        }
    }

    constexpr int kScalableSize = 256;
    if (!folder.mkpath(QStringLiteral("scalable/apps")))
        return 1;
    QSvgGenerator svg;
    svg.setFileName(folder.filePath(QStringLiteral("scalable/apps/") + name + ".svg"));
    svg.setSize({kScalableSize, kScalableSize});
    svg.setViewBox(QRect(0, 0, kScalableSize, kScalableSize));
    svg.setTitle(QStringLiteral("Quillon"));
    QPainter painter;
    if (!painter.begin(&svg)) {
        std::fputs("quillon-icon-files: cannot write the scalable icon\n", stderr);
        return 1;
    }
    quillon::ui::paintProgramIcon(painter, kScalableSize);
    return painter.end() ? 0 : 1;
}
