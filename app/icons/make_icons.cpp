// Writes the program's icon as PNG files into the desktop's icon theme
// layout: <folder>/hicolor/<n>x<n>/apps/discora.png.

#include "QLXIcon.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (const int size : ProgramIconSizes()) {
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(size);
        const QString file = folder + QStringLiteral("/discora.png");
        if (!QDir().mkpath(folder) || !ProgramIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
