// xoprex-screenshots FOLDER SEQUENCE COLLECTION [REPORT]: the desktop
// program's main window and results window, as the documentation shows
// them, saved as PNG files in FOLDER (screenshot_tour.h); the search writes
// its HTML report to REPORT when given. Not installed: scripts/screenshots.sh
// (make screenshots) runs it under a virtual X display.
#include <cstdio>

#include "ui/app.h"
#include "ui/main_dialog.h"
#include "ui/screenshot_tour.h"

int main(int argc, char** argv) {
    COprex_AppApp app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 4 && arguments.size() != 5) {
        std::fprintf(stderr, "usage: xoprex-screenshots FOLDER SEQUENCE COLLECTION [REPORT]\n");
        return 1;
    }
    COprex_AppDlg dialog;
    const xoprex::ui::ScreenshotTour* tour =
        xoprex::ui::ScreenshotTour::start(dialog, arguments[1], arguments[2], arguments[3],
                                          arguments.size() == 5 ? arguments[4] : QString());
    dialog.exec();
    return tour->succeeded() ? 0 : 1;
}
