// velo_icon FILE SIZE: writes velo's program icon as a PNG of SIZE pixels,
// for the desktop entry. Drawn by the same code as the window's icon.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>

#include "icons.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Aufruf: velo_icon DATEI GRÖSSE\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int size = std::atoi(argv[2]);
    if (size < 16 || size > 1024 || !AppIconImage(size).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "velo_icon: %s kann nicht geschrieben werden\n", argv[1]);
        return 1;
    }
    return 0;
}
