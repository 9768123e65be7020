// Build-time helper: writes the application icon as PNG files in the
// hicolor theme's layout (FOLDER/hicolor/NxN/apps/xoprex.png), for the
// desktop entry that the install rules put beside the programs.
//   xoprex-write-icons FOLDER
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "ui/app_icon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: xoprex-write-icons FOLDER\n");
        return 1;
    }
    // Drawing needs a GUI application, not a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString folder =
            QString("%1/hicolor/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(folder) ||
            !xoprex::ui::appIconImage(size).save(folder + "/xoprex.png", "PNG")) {
            std::fprintf(stderr, "xoprex-write-icons: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
