// Draws the program's pictures into a folder as PNG files:
//   artwork_gen <output folder>
#include "tools/artwork/Artwork.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    // Text needs a GUI application, but a build machine need not have a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "%s: cannot make the folder\n", argv[1]);
        return 1;
    }
    for (const artwork::Picture& picture : artwork::DrawAll()) {
        const QString path = dir.filePath(picture.fileName);
        if (!picture.image.save(path, "PNG")) {
            std::fprintf(stderr, "%s: cannot write the picture\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
