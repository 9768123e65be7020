// Documentation screenshots taken from inside the program. When the
// environment names a folder in XOPREX_SCREENSHOTS, the tour fills the main
// window (XOPREX_SCREENSHOT_SEQUENCE and XOPREX_SCREENSHOT_COLLECTION name
// the example inputs, XOPREX_SCREENSHOT_REPORT the HTML report the search
// writes), saves "main_dialog.png" and "extra_group.png", runs the search,
// saves the
// results window on its Hits, Logo, Scores and Genome map tabs
// ("results_window.png", "motif_logo.png", "score_histogram.png",
// "genome_map.png") and closes the program. Without the variable it does
// nothing.
#pragma once

#include <QObject>
#include <QString>

class COprex_AppDlg;

namespace xoprex::ui {

class ScreenshotTour : public QObject {
    Q_OBJECT
  public:
    // Starts the tour on `dialog` when the environment asks for it.
    static void startIfRequested(COprex_AppDlg& dialog);

  private:
    ScreenshotTour(COprex_AppDlg& dialog, QString folder);
    void fillAndShootMain();
    void waitForResults();
    void shootTab(int step);
    void finish();

    COprex_AppDlg& dialog_;
    QString folder_;
    int waited_ = 0;
};

}  // namespace xoprex::ui
