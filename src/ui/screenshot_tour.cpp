#include "ui/screenshot_tour.h"

#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "ui/main_dialog.h"
#include "ui/result_dialog.h"

namespace xoprex::ui {

namespace {

constexpr int kSettleMs = 700;
constexpr int kPollMs = 200;
constexpr int kMaxWaitMs = 120000;

void save(QWidget& widget, const QString& path) {
    if (widget.grab().save(path, "PNG")) {
        std::printf("screenshot: %s\n", qPrintable(path));
    } else {
        std::fprintf(stderr, "screenshot: could not write %s\n", qPrintable(path));
    }
}

}  // namespace

void ScreenshotTour::startIfRequested(COprex_AppDlg& dialog) {
    const QString folder = qEnvironmentVariable("XOPREX_SCREENSHOTS");
    if (folder.isEmpty()) {
        return;
    }
    QDir().mkpath(folder);
    auto* tour = new ScreenshotTour(dialog, folder);
    QTimer::singleShot(kSettleMs, tour, [tour] { tour->fillAndShootMain(); });
}

ScreenshotTour::ScreenshotTour(COprex_AppDlg& dialog, QString folder)
    : QObject(&dialog), dialog_(dialog), folder_(std::move(folder)) {}

void ScreenshotTour::fillAndShootMain() {
    const QString sequence = qEnvironmentVariable("XOPREX_SCREENSHOT_SEQUENCE");
    const QString collection = qEnvironmentVariable("XOPREX_SCREENSHOT_COLLECTION");
    if (!sequence.isEmpty()) {
        dialog_.chooseSequenceFile(sequence);
    }
    if (!collection.isEmpty()) {
        dialog_.chooseCollectionFile(collection);
    }
    QTimer::singleShot(kSettleMs, this, [this] {
        save(dialog_, folder_ + QStringLiteral("/main_dialog.png"));
        if (auto* search = dialog_.findChild<QPushButton*>(QStringLiteral("searchButton"))) {
            search->click();
        }
        waitForResults();
    });
}

void ScreenshotTour::waitForResults() {
    CResultDialog* results = dialog_.resultsWindow();
    if (results != nullptr && results->isVisible()) {
        QTimer::singleShot(kSettleMs, this, [this] {
            if (CResultDialog* shown = dialog_.resultsWindow()) {
                save(*shown, folder_ + QStringLiteral("/results_window.png"));
                shown->close();
            }
            finish();
        });
        return;
    }
    if (waited_ >= kMaxWaitMs) {
        std::fprintf(stderr, "screenshot: no results window appeared\n");
        finish();
        return;
    }
    waited_ += kPollMs;
    QTimer::singleShot(kPollMs, this, [this] { waitForResults(); });
}

void ScreenshotTour::finish() {
    dialog_.close();
}

}  // namespace xoprex::ui
