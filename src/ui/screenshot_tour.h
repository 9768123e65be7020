// The documentation screenshots, taken by the program xoprex-screenshots
// (screenshots_main.cpp, make screenshots): the tour fills the main window
// with the example inputs it is given (and the HTML report's path, when
// given), saves "main_dialog.png" and "extra_group.png", runs the search,
// saves the results window on its Hits, Logo, Scores and Genome map tabs
// ("results_window.png", "motif_logo.png", "score_histogram.png",
// "genome_map.png") and closes the main window.
#pragma once

#include <QObject>
#include <QString>

class COprex_AppDlg;

namespace xoprex::ui {

class ScreenshotTour : public QObject {
    Q_OBJECT
  public:
    // Starts the tour on `dialog` (shown by the caller), the pictures going
    // to `folder`. The tour belongs to the dialog.
    static ScreenshotTour* start(COprex_AppDlg& dialog, const QString& folder,
                                 const QString& sequence, const QString& collection,
                                 const QString& report = {});
    // Whether every picture was written.
    bool succeeded() const { return failures_ == 0; }

  private:
    ScreenshotTour(COprex_AppDlg& dialog, QString folder, QString sequence, QString collection,
                   QString report);
    void save(QWidget& widget, const QString& file);
    void fillAndShootMain();
    void waitForResults();
    void shootTab(int step);
    void finish();

    COprex_AppDlg& dialog_;
    QString folder_;
    QString sequence_;
    QString collection_;
    QString report_;
    int waited_ = 0;
    int failures_ = 0;
};

}  // namespace xoprex::ui
