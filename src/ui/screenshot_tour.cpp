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

}  // namespace

ScreenshotTour* ScreenshotTour::start(COprex_AppDlg& dialog, const QString& folder,
                                      const QString& sequence, const QString& collection,
                                      const QString& report) {
    QDir().mkpath(folder);
    auto* tour = new ScreenshotTour(dialog, folder, sequence, collection, report);
    QTimer::singleShot(kSettleMs, tour, [tour] { tour->fillAndShootMain(); });
    return tour;
}

ScreenshotTour::ScreenshotTour(COprex_AppDlg& dialog, QString folder, QString sequence,
                               QString collection, QString report)
    : QObject(&dialog),
      dialog_(dialog),
      folder_(std::move(folder)),
      sequence_(std::move(sequence)),
      collection_(std::move(collection)),
      report_(std::move(report)) {}

void ScreenshotTour::save(QWidget& widget, const QString& file) {
    const QString path = folder_ + QLatin1Char('/') + file;
    if (widget.grab().save(path, "PNG")) {
        std::printf("screenshot: %s\n", qPrintable(path));
    } else {
        std::fprintf(stderr, "screenshot: could not write %s\n", qPrintable(path));
        ++failures_;
    }
}

void ScreenshotTour::fillAndShootMain() {
    dialog_.chooseSequenceFile(sequence_);
    dialog_.chooseCollectionFile(collection_);
    // A GenBank target has genes: its operons get the Regulon tab.
    if (auto* regulon = dialog_.findChild<QCheckBox*>(QStringLiteral("regulon"));
        regulon != nullptr && sequence_.endsWith(QLatin1String(".gbk"))) {
        regulon->setChecked(true);
    }
    if (auto* path = dialog_.findChild<QLineEdit*>(QStringLiteral("reportPath"));
        path != nullptr && !report_.isEmpty()) {
        path->setText(report_);
    }
    QTimer::singleShot(kSettleMs, this, [this] {
        save(dialog_, QStringLiteral("main_dialog.png"));
        if (auto* extra = dialog_.findChild<QWidget*>(QStringLiteral("extraGroup"))) {
            save(*extra, QStringLiteral("extra_group.png"));
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
        ++failures_;
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
        {"Regulon", "regulon_tab.png"},
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
    bool found = false;
    for (int index = 0; index < tabs->count(); ++index) {
        if (tabs->tabText(index) == QLatin1String(tab)) {
            tabs->setCurrentIndex(index);
            found = true;
        }
    }
    if (!found) {  // a tab this run does not have
        shootTab(step + 1);
        return;
    }
    QTimer::singleShot(kSettleMs, this, [this, step, file = QString::fromLatin1(file)] {
        if (CResultDialog* window = dialog_.resultsWindow()) {
            save(*window, file);
        }
        shootTab(step + 1);
    });
}

void ScreenshotTour::finish() {
    dialog_.close();
}

}  // namespace xoprex::ui
