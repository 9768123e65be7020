#include "ui/result_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "base/errors.h"
#include "base/output_file.h"
#include "options/options.h"
#include "report/regulon_table.h"
#include "ui/app_icon.h"
#include "ui/genome_map.h"
#include "ui/hit_export.h"
#include "ui/hit_table.h"
#include "ui/hits_view.h"
#include "ui/motif_views.h"
#include "ui/picture_data.h"
#include "ui/regulon_view.h"
#include "ui/results_table.h"
#include "ui/ui_services.h"

namespace {

constexpr int kColumnWidth = 120;
constexpr int kMaxColumnWidth = 360;
// The summary lines lie in the last few hundred bytes of a results table.
constexpr std::streamoff kSummaryTail = 4096;
// Records up to which the genome map starts with every record.
constexpr std::size_t kAllTracksUpTo = 50;

enum Tab { HitsTab, TableTab, LogoTab, ScoresTab, MapTab, RegulonTab };

// Sorts numbers by value and everything else as text; a number sorts
// before a text so that summary lines gather at one end.
class GridItem : public QTableWidgetItem {
  public:
    explicit GridItem(const QString& text) : QTableWidgetItem(text) {
        value_ = text.toDouble(&isNumber_);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        const auto* item = dynamic_cast<const GridItem*>(&other);
        if (item == nullptr) {
            return QTableWidgetItem::operator<(other);
        }
        if (isNumber_ && item->isNumber_) {
            return value_ < item->value_;
        }
        if (isNumber_ != item->isNumber_) {
            return isNumber_;
        }
        return text() < item->text();
    }

  private:
    double value_ = 0.0;
    bool isNumber_ = false;
};

QFont gridFont() {
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

std::string ss(const QString& text) {
    return text.toStdString();
}

xoprex::ui::ResultsSummary readSummary(std::ifstream& in) {
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size > kSummaryTail) {
        in.seekg(size - kSummaryTail);
        std::string partial;
        std::getline(in, partial);  // the rest of a line cut by the seek
    } else {
        in.seekg(0);
    }
    return xoprex::parseResultsSummary(in);
}

QLabel* noteLabel(const char* name) {
    auto* note = new QLabel;
    note->setObjectName(QString::fromLatin1(name));
    note->setWordWrap(true);
    note->setVisible(false);
    return note;
}

}  // namespace

CResultDialog::CResultDialog(const QString& resultsPath, xoprex::ui::UiServices* services,
                             QWidget* parent)
    : CResultDialog(xoprex::ui::ResultsSources{resultsPath, {}, {}, {}, false, {}}, services,
                    parent) {}

CResultDialog::CResultDialog(const xoprex::ui::ResultsSources& sources,
                             xoprex::ui::UiServices* services, QWidget* parent)
    : QDialog(parent),
      sources_(sources),
      services_(services != nullptr ? *services : xoprex::ui::defaultUiServices()) {
    buildControls();
    load();
}

CResultDialog::~CResultDialog() = default;

void CResultDialog::buildControls() {
    setWindowTitle(QStringLiteral("XOprex Results"));
    setWindowIcon(xoprex::ui::appIcon());
    setSizeGripEnabled(true);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("resultsTabs"));
    hits_ = new xoprex::ui::HitsView;
    hits_->setObjectName(QStringLiteral("hitsTab"));
    tabs_->addTab(hits_, QStringLiteral("Hits"));
    tabs_->addTab(buildTableTab(), QStringLiteral("Results table"));
    logo_ = new xoprex::ui::LogoView;
    tabs_->addTab(buildPictureTab(logo_, logoNote_), QStringLiteral("Logo"));
    scores_ = new xoprex::ui::ScoreView;
    tabs_->addTab(buildPictureTab(scores_, scoresNote_), QStringLiteral("Scores"));
    tabs_->addTab(buildMapTab(), QStringLiteral("Genome map"));
    if (!sources_.regulonPath.isEmpty()) {
        regulon_ = new xoprex::ui::RegulonView;
        regulon_->setObjectName(QStringLiteral("regulonTab"));
        tabs_->addTab(regulon_, QStringLiteral("Regulon"));
        connect(regulon_, &xoprex::ui::RegulonView::operonChosen, this,
                &CResultDialog::operonChosen);
    }

    // Enter belongs to the filter boxes: no button is the default that it
    // would click to close the window (a button box would make OK one).
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);
    resize(1100, 640);

    connect(tabs_, &QTabWidget::currentChanged, this, &CResultDialog::tabShown);
    connect(hits_, &xoprex::ui::HitsView::exportRequested, this, &CResultDialog::askExportPath);
    connect(hits_, &xoprex::ui::HitsView::hitChosen, this, [this](int row) {
        if (map_->trackCount() > 0) {
            map_->showHit(row);
        }
    });
    connect(map_, &xoprex::ui::GenomeMap::hitClicked, this, [this](int row) {
        hits_->selectHit(row);
        const xoprex::ui::HitRow& hit = hits_->model()->hit(row);
        mapHit_->setText(
            QStringLiteral("%1  %L2-%L3 (%4)  score %5  %6  (selected in Hits)")
                .arg(QString::fromStdString(hits_->model()->table().records[hit.record]))
                .arg(hit.start)
                .arg(hit.end)
                .arg(hit.forward ? QLatin1Char('+') : QLatin1Char('-'))
                .arg(hit.score, 0, 'f', 3)
                .arg(QString::fromUtf8(hit.text(hit.site).data(),
                                       static_cast<qsizetype>(hit.site.size))));
    });
}

QWidget* CResultDialog::buildTableTab() {
    grid_ = new QTableWidget;
    grid_->setObjectName(QStringLiteral("resultsGrid"));
    grid_->setFont(gridFont());
    grid_->setShowGrid(true);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid_->setAlternatingRowColors(true);
    grid_->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    grid_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->verticalHeader()->setVisible(false);
    grid_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction(QStringLiteral("&Copy Rows"), grid_);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &CResultDialog::copySelectedRows);
    grid_->addAction(copy);

    summary_ = new QLabel;
    summary_->setObjectName(QStringLiteral("resultsSummary"));
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* frame = new QGroupBox;
    auto* inner = new QVBoxLayout(frame);
    inner->addWidget(summary_);
    inner->addWidget(grid_, 1);

    auto* copyButton = new QPushButton(QStringLiteral("Copy Rows"));
    copyButton->setObjectName(QStringLiteral("copyRows"));
    copyButton->setAutoDefault(false);
    connect(copyButton, &QPushButton::clicked, this, &CResultDialog::copySelectedRows);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(copyButton);

    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(new QLabel(QStringLiteral("Results:")));
    layout->addWidget(frame, 1);
    layout->addLayout(buttons);
    return tab;
}

QWidget* CResultDialog::buildPictureTab(xoprex::ui::PictureView* view, QLabel*& note, QWidget* body,
                                        QWidget* extra) {
    note = noteLabel("pictureNote");
    auto* save = new QPushButton(QStringLiteral("Save Picture..."));
    save->setObjectName(QStringLiteral("savePicture"));
    save->setAutoDefault(false);
    const QString name = view->objectName();
    connect(save, &QPushButton::clicked, this, [this, view, name] { askPicturePath(*view, name); });
    auto* buttons = new QHBoxLayout;
    if (extra != nullptr) {
        buttons->addWidget(extra, 1);
    } else {
        buttons->addStretch(1);
    }
    buttons->addWidget(save);
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(note);
    layout->addWidget(body != nullptr ? body : view, 1);
    layout->addLayout(buttons);
    return tab;
}

QWidget* CResultDialog::buildMapTab() {
    map_ = new xoprex::ui::GenomeMap;
    auto* area = new QWidget;
    auto* grid = new QGridLayout(area);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(map_, 0, 0);
    grid->addWidget(map_->trackBar(), 0, 1);
    grid->addWidget(map_->baseBar(), 1, 0);

    auto* controls = new QWidget;
    auto* row = new QHBoxLayout(controls);
    row->setContentsMargins(0, 0, 0, 0);
    const auto addButton = [&](const QString& text, const char* name, auto action) {
        auto* button = new QPushButton(text);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, action);
        row->addWidget(button);
    };
    addButton(QStringLiteral("Zoom In"), "zoomIn",
              [this] { map_->zoom(2.0, xoprex::ui::GenomeMap::kNameWidth + map_->width() / 2.0); });
    addButton(QStringLiteral("Zoom Out"), "zoomOut",
              [this] { map_->zoom(0.5, xoprex::ui::GenomeMap::kNameWidth + map_->width() / 2.0); });
    addButton(QStringLiteral("Whole Records"), "zoomFit", [this] { map_->zoomToFit(); });
    withHits_ = new QCheckBox(QStringLiteral("Only records with hits"));
    withHits_->setObjectName(QStringLiteral("onlyRecordsWithHits"));
    connect(withHits_, &QCheckBox::toggled, map_, &xoprex::ui::GenomeMap::setOnlyRecordsWithHits);
    row->addWidget(withHits_);
    mapHit_ =
        new QLabel(QStringLiteral("Click a tick to select its hit; Ctrl+wheel zooms, "
                                  "dragging pans."));
    mapHit_->setObjectName(QStringLiteral("mapHit"));
    mapHit_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(mapHit_, 1);

    return buildPictureTab(map_, mapNote_, area, controls);
}

void CResultDialog::load() {
    std::ifstream in(ss(sources_.resultsPath), std::ios::binary);
    if (!in) {
        summary_->setText(sources_.resultsPath);
        gridFilled_ = true;
        hits_->setNote(QStringLiteral("No results."));
        services_.showError(this, QStringLiteral("CSV File Cannot be Opened"),
                            sources_.resultsPath);
        return;
    }
    const xoprex::ui::ResultsSummary summary = readSummary(in);
    // The cut-off the run used ("+12.385; - Computed"): a p-value cut-off's
    // cannot be told from the options file.
    if (!summary.cutOff.empty()) {
        char* end = nullptr;
        const double cutOff = std::strtod(summary.cutOff.c_str(), &end);
        if (end != summary.cutOff.c_str()) {
            tableCutOff_ = cutOff;
        }
    }
    summary_->setText(sources_.resultsPath);
    const std::string tsvPath =
        xoprex::resultsPath(ss(sources_.resultsPath), xoprex::ResultFormat::Tsv);
    std::ifstream tsv(tsvPath, std::ios::binary);
    const bool haveHits = tsv.is_open();
    if (haveHits) {
        hits_->setTable(xoprex::ui::parseHitTable(tsv), summary);
    } else {
        hits_->setNote(QStringLiteral("No hits file beside the results table (%1).")
                           .arg(QString::fromStdString(tsvPath)));
    }
    loadRegulon();
    if (sources_.readInputsNow) {
        loadPictures();
    }
    // Open on the hits when there are any to show; the grid waits until it
    // is asked for.
    tabs_->setCurrentIndex(haveHits ? HitsTab : TableTab);
    tabShown(tabs_->currentIndex());
}

QTableWidget* CResultDialog::grid() const {
    // Filling is deferred, not a change of what the window shows.
    const_cast<CResultDialog*>(this)->fillGrid();
    return grid_;
}

void CResultDialog::fillGrid() {
    if (gridFilled_) {
        return;
    }
    gridFilled_ = true;
    std::ifstream in(ss(sources_.resultsPath), std::ios::binary);
    const xoprex::ui::ResultsGrid table = xoprex::ui::parseResultsTable(in);
    grid_->setSortingEnabled(false);
    grid_->setColumnCount(static_cast<int>(table.columns.size()));
    QStringList titles;
    for (const std::string& title : table.columns) {
        titles << QString::fromStdString(title);
    }
    grid_->setHorizontalHeaderLabels(titles);
    grid_->setRowCount(static_cast<int>(table.rows.size()));
    for (int row = 0; row < grid_->rowCount(); ++row) {
        const auto& fields = table.rows[static_cast<std::size_t>(row)];
        // Fields beyond the titled columns have nowhere to go and are dropped.
        const int count = std::min(static_cast<int>(fields.size()), grid_->columnCount());
        for (int column = 0; column < count; ++column) {
            grid_->setItem(
                row, column,
                new GridItem(QString::fromStdString(fields[static_cast<std::size_t>(column)])));
        }
    }
    grid_->setSortingEnabled(true);
    grid_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    // Columns start 120 pixels wide and grow to show long numbers and
    // names whole, up to a limit; the user can still resize them.
    grid_->resizeColumnsToContents();
    for (int column = 0; column < grid_->columnCount(); ++column) {
        grid_->setColumnWidth(
            column, std::clamp(grid_->columnWidth(column), kColumnWidth, kMaxColumnWidth));
    }
    summary_->setText(
        QStringLiteral("%1  (%2 rows)").arg(sources_.resultsPath).arg(grid_->rowCount()));
}

void CResultDialog::tabShown(int index) {
    if (index == TableTab) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        fillGrid();
        QApplication::restoreOverrideCursor();
    } else if (index == LogoTab || index == ScoresTab || index == MapTab) {
        loadPictures();
    }
}

bool CResultDialog::loadPictures() {
    if (picturesTried_) {
        return pictures_ != nullptr;
    }
    picturesTried_ = true;
    QString problem;
    if (sources_.sequencePath.isEmpty() || sources_.collectionPath.isEmpty()) {
        problem = QStringLiteral("The search's inputs are not known to this window.");
    } else {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            pictures_ = std::make_unique<xoprex::ui::RunPictures>(xoprex::ui::loadRunPictures(
                ss(sources_.sequencePath), ss(sources_.collectionPath), ss(sources_.optionsPath)));
        } catch (const std::exception& error) {
            problem = QString::fromStdString(error.what());
        }
        QApplication::restoreOverrideCursor();
        if (!problem.isEmpty()) {
            services_.showError(this, QStringLiteral("The search's inputs cannot be read again"),
                                problem);
        }
    }
    for (QLabel* note : {logoNote_, scoresNote_, mapNote_}) {
        note->setText(problem);
        note->setVisible(!problem.isEmpty());
    }
    if (pictures_ == nullptr) {
        return false;
    }
    const QString collection = QFileInfo(sources_.collectionPath).completeBaseName();
    logo_->setModel(pictures_->collection.model, collection);
    std::vector<double> hitScores;
    const xoprex::ui::HitTable& table = hits_->model()->table();
    hitScores.reserve(table.rows.size());
    for (const xoprex::ui::HitRow& row : table.rows) {
        hitScores.push_back(row.score);
    }
    scores_->setScores(pictures_->selfScores, hitScores,
                       tableCutOff_.value_or(pictures_->options.cutOff),
                       QString::fromStdString(xoprex::methodLabel(pictures_->options.method)));
    map_->setData(pictures_->records, table);
    // Many records: the map starts with those that have hits.
    if (pictures_->records.size() > kAllTracksUpTo) {
        withHits_->setChecked(true);
    }
    return true;
}

void CResultDialog::loadRegulon() {
    if (regulon_ == nullptr) {
        return;
    }
    std::ifstream in(ss(sources_.regulonPath), std::ios::binary);
    if (!in) {
        regulon_->setNote(QStringLiteral("No regulon table (%1).").arg(sources_.regulonPath));
        return;
    }
    regulon_->setTable(xoprex::parseRegulonTable(in), sources_.regulonPath);
}

void CResultDialog::operonChosen(int row) {
    const xoprex::RegulonRow& operon = regulon_->model()->operon(row);
    const int hit = xoprex::ui::regulonBestHit(operon, hits_->model()->table());
    QString genes;
    for (size_t g = 0; g < operon.locusTags.size(); ++g) {
        const std::string& name = g < operon.geneNames.size() && !operon.geneNames[g].empty()
                                      ? operon.geneNames[g]
                                      : operon.locusTags[g];
        genes += (g > 0 ? QStringLiteral(", ") : QString()) + QString::fromStdString(name);
    }
    if (hit < 0) {
        regulon_->setStatus(
            QStringLiteral("Operon %1 (%2): its best window, %3 at %L4, is not among the hits "
                           "(below the cut-off).")
                .arg(operon.operon)
                .arg(genes)
                .arg(QString::fromStdString(operon.bestSite))
                .arg(operon.bestStart));
        return;
    }
    hits_->selectHit(hit);
    // The map needs the run's inputs, read once.
    if (map_->trackCount() > 0 || loadPictures()) {
        map_->showHit(hit);
    }
    regulon_->setStatus(QStringLiteral("Operon %1 (%2): its best window, %3 at %L4 (%5), is "
                                       "selected in Hits and on the map.")
                            .arg(operon.operon)
                            .arg(genes)
                            .arg(QString::fromStdString(operon.bestSite))
                            .arg(operon.bestStart)
                            .arg(operon.bestForward ? QLatin1Char('+') : QLatin1Char('-')));
}

void CResultDialog::askExportPath() {
    const QFileInfo results(sources_.resultsPath);
    const QString start = results.absolutePath() + QLatin1Char('/') + results.completeBaseName() +
                          QStringLiteral("_selected.tsv");
    const QString path =
        services_.saveFile(this, QStringLiteral("Export Selected Hits"), start,
                           QStringLiteral("TSV (*.tsv);;BED (*.bed);;GFF3 (*.gff3)"));
    if (!path.isEmpty()) {
        exportHits(path);
    }
}

void CResultDialog::exportHits(const QString& path) {
    xoprex::ResultFormat format = xoprex::ResultFormat::Csv;
    const QString extension = QFileInfo(path).suffix().toLower();
    if (!xoprex::formatNamed(ss(extension), format) || format == xoprex::ResultFormat::Csv) {
        services_.showError(this, QStringLiteral("Choose a .tsv, .bed or .gff3 file name"), path);
        return;
    }
    const std::vector<int> rows = hits_->selectedHits();
    if (rows.empty()) {
        services_.showError(this, QStringLiteral("Select the hits to export first"));
        return;
    }
    if (format != xoprex::ResultFormat::Tsv && !loadPictures()) {
        return;
    }
    try {
        xoprex::OutputFile file(ss(path));
        xoprex::ui::writeHitRows(format, hits_->model()->table(), rows, pictures_.get(),
                                 ss(QFileInfo(sources_.collectionPath).completeBaseName()), file);
        file.commit();
    } catch (const std::exception& error) {
        services_.showError(this, QStringLiteral("File Cannot be Opened for Saving"),
                            QString::fromStdString(error.what()));
    }
}

void CResultDialog::askPicturePath(const xoprex::ui::PictureView& view, const QString& name) {
    const QFileInfo results(sources_.resultsPath);
    const QString start = results.absolutePath() + QLatin1Char('/') + results.completeBaseName() +
                          QLatin1Char('_') + name + QStringLiteral(".png");
    const QString path = services_.saveFile(this, QStringLiteral("Save Picture"), start,
                                            QStringLiteral("PNG (*.png);;SVG (*.svg)"));
    if (!path.isEmpty()) {
        savePicture(view, path);
    }
}

void CResultDialog::savePicture(const xoprex::ui::PictureView& view, const QString& path) {
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension != QStringLiteral("png") && extension != QStringLiteral("svg")) {
        services_.showError(this, QStringLiteral("Choose a .png or .svg file name"), path);
        return;
    }
    if (!view.save(path)) {
        services_.showError(this, QStringLiteral("File Cannot be Opened for Saving"), path);
    }
}

QString CResultDialog::selectedRowsText() const {
    std::vector<int> rows;
    for (const QModelIndex& index : grid_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    std::vector<std::vector<std::string>> texts;
    for (int row : rows) {
        // Cells the table never filled (short lines) are not copied.
        int used = grid_->columnCount();
        while (used > 0 && grid_->item(row, used - 1) == nullptr) {
            --used;
        }
        std::vector<std::string> fields;
        for (int column = 0; column < used; ++column) {
            const QTableWidgetItem* item = grid_->item(row, column);
            fields.push_back(item != nullptr ? item->text().toStdString() : std::string());
        }
        texts.push_back(std::move(fields));
    }
    return QString::fromStdString(xoprex::ui::joinRows(texts));
}

void CResultDialog::copySelectedRows() const {
    QApplication::clipboard()->setText(selectedRowsText());
}
