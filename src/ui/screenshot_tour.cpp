#include "ui/screenshot_tour.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
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
    const QString report = qEnvironmentVariable("XOPREX_SCREENSHOT_REPORT");
    if (auto* path = dialog_.findChild<QLineEdit*>(QStringLiteral("reportPath"));
        path != nullptr && !report.isEmpty()) {
        path->setText(report);
    }
    QTimer::singleShot(kSettleMs, this, [this] {
        save(dialog_, folder_ + QStringLiteral("/main_dialog.png"));
        if (auto* extra = dialog_.findChild<QWidget*>(QStringLiteral("extraGroup"))) {
            save(*extra, folder_ + QStringLiteral("/extra_group.png"));
        }
        if (auto* search = dialog_.findChild<QPushButton*>(QStringLiteral("searchButton"))) {
            search->click();
        }
        waitForResults();
    });
}

void ScreenshotTour::waitForResults() {
    CResultDialog* results = dialog_.resultsWindow();
    if (results != nullptr && results->isVisible()) {
        QTimer::singleShot(kSettleMs, this, [this] { shootTab(0); });
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

void ScreenshotTour::shootTab(int step) {
    // The results window on each of its tabs worth a picture.
    static const std::pair<const char*, const char*> kShots[] = {
        {"Hits", "results_window.png"},
        {"Logo", "motif_logo.png"},
        {"Scores", "score_histogram.png"},
        {"Genome map", "genome_map.png"},
    };
    CResultDialog* shown = dialog_.resultsWindow();
    if (shown == nullptr || step >= static_cast<int>(std::size(kShots))) {
        if (shown != nullptr) {
            shown->close();
        }
        finish();
        return;
    }
    const auto& [tab, file] = kShots[step];
    QTabWidget* tabs = shown->tabs();
    if (auto* withHits = shown->findChild<QCheckBox*>(QStringLiteral("onlyRecordsWithHits"))) {
        withHits->setChecked(true);
    }
    for (int index = 0; index < tabs->count(); ++index) {
        if (tabs->tabText(index) == QLatin1String(tab)) {
            tabs->setCurrentIndex(index);
        }
    }
    QTimer::singleShot(kSettleMs, this, [this, step, file = QString::fromLatin1(file)] {
        if (CResultDialog* window = dialog_.resultsWindow()) {
            save(*window, folder_ + QLatin1Char('/') + file);
        }
        shootTab(step + 1);
    });
}

void ScreenshotTour::finish() {
    dialog_.close();
}

}  // namespace xoprex::ui
