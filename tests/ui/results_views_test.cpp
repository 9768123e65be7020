// The results window's new views: the hits model and its filters over a
// TSV, the logo's letter heights, a click on the genome map, hits exported
// again through the core's writers, and the Regulon tab of a regulon search.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "fake_services.h"
#include "motif/site_collection.h"
#include "options/options_file.h"
#include "pipeline/run_search.h"
#include "ui/genome_map.h"
#include "ui/hit_table.h"
#include "ui/hits_view.h"
#include "ui/motif_views.h"
#include "ui/picture_data.h"
#include "ui/regulon_view.h"
#include "ui/result_dialog.h"

using namespace xoprex;
using namespace xoprex::ui;

namespace {

const QString kExamples = QStringLiteral(XOPREX_EXAMPLES);

// Three hits on two records, without p- and q-value columns (as older runs
// wrote them) and with a column this reader does not know.
const char* const kOldTsv =
    "# xoprex 0.2.0\n# method: 1 (Ri)\n"
    "record\tstart\tend\tstrand\tscore\tsite\tdistance\ttype\tgene_strand\tgene_start\tgene_end\t"
    "gene_tag\tgene\tproduct\tlocal_mean\tup_mean\tdw_mean\textra\n"
    "chr1\t10\t17\t+\t9.5\tACGTACGT\t-40\tOperator\t+\t57\t900\tb0001\tthrL\tleader peptide\t0\t0"
    "\t0\tx\n"
    "chr2\t200\t207\t-\t12.25\tTTGACAAT\t0\tUnknown\t+\t0\t0\t\t\t\t0\t0\t0\tx\n"
    "chr1\t40\t47\t-\t4.125\tGGGGCCCC\t12\tIntragenic\t-\t900\t100\tb0002\t\tkinase\t0\t0\t0\tx\n";

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

QString cell(const QAbstractItemModel& model, int row, int column) {
    return model.index(row, column).data().toString();
}

}  // namespace

class ResultsViewsTest : public QObject {
    Q_OBJECT
  private slots:
    void hitsModelReadsTheTsvByHeaderAndFilters() {
        std::istringstream in(kOldTsv);
        HitsView view;
        view.setTable(parseHitTable(in),
                      ResultsSummary{"2", "3", "2.000", "Ri", "+4.217; - Literal"});
        const HitsModel& model = *view.model();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.table().comments.size(), std::size_t{2});
        QCOMPARE(cell(model, 0, HitsModel::Record), QStringLiteral("chr1"));
        QCOMPARE(cell(model, 1, HitsModel::Record), QStringLiteral("chr2"));
        QCOMPARE(cell(model, 1, HitsModel::Strand), QStringLiteral("-"));
        QCOMPARE(cell(model, 0, HitsModel::NearestGene), QStringLiteral("thrL"));
        QCOMPARE(cell(model, 2, HitsModel::NearestGene), QStringLiteral("b0002"));
        QCOMPARE(cell(model, 2, HitsModel::Class), QStringLiteral("Intragenic"));
        QCOMPARE(cell(model, 0, HitsModel::Product), QStringLiteral("leader peptide"));
        // No p- or q-value columns: the cells stay empty.
        QVERIFY(cell(model, 0, HitsModel::PValue).isEmpty());
        QVERIFY(cell(model, 0, HitsModel::QValue).isEmpty());
        QVERIFY(view.summary()->text().contains(QStringLiteral("4.217 (literal)")));

        HitsFilter& filter = *view.filter();
        view.findChild<QLineEdit*>(QStringLiteral("hitsText"))->setText(QStringLiteral("KINASE"));
        QCOMPARE(filter.rowCount(), 1);
        QCOMPARE(cell(filter, 0, HitsModel::Site), QStringLiteral("GGGGCCCC"));
        filter.clear();
        filter.setScoreRange(5.0, 100.0);
        QCOMPARE(filter.rowCount(), 2);
        filter.setRecord(0);  // chr1
        QCOMPARE(filter.rowCount(), 1);
        filter.clear();
        filter.sort(HitsModel::Score, Qt::DescendingOrder);
        QCOMPARE(cell(filter, 0, HitsModel::Score), QStringLiteral("12.250"));
        QCOMPARE(cell(filter, 2, HitsModel::Score), QStringLiteral("4.125"));
        // Selecting a hidden hit clears the filters that hide it.
        filter.setRecord(1);
        view.selectHit(0);
        QCOMPARE(filter.rowCount(), 3);
        QCOMPARE(view.selectedHits(), std::vector<int>{0});
    }

    void pValuesAreReadAndFiltered() {
        std::istringstream in(
            "record\tstart\tend\tstrand\tscore\tp_value\tq_value\tsite\n"
            "r\t1\t4\t+\t3\t1e-06\t0.002\tACGT\nr\t9\t12\t+\t2\t0.01\t0.5\tACGA\n");
        HitsModel model;
        HitsFilter filter(&model);
        model.setTable(parseHitTable(in));
        QVERIFY(model.table().hasPValues);
        QCOMPARE(cell(model, 0, HitsModel::PValue), QStringLiteral("1e-06"));
        QCOMPARE(cell(model, 1, HitsModel::QValue), QStringLiteral("0.5"));
        filter.setPValueRange(0.0, 1e-4);
        QCOMPARE(filter.rowCount(), 1);
        QCOMPARE(cell(filter, 0, HitsModel::Site), QStringLiteral("ACGT"));
    }

    void logoLettersStackToTheInformationContent() {
        const xoprex::SiteCollection collection =
            xoprex::loadCollection((kExamples + "/crp_sites.txt").toStdString(), {});
        LogoView logo;
        logo.setModel(collection.model, QStringLiteral("crp"));
        const std::size_t length = collection.model.positions.size();
        QCOMPARE(logo.forward().size(), length);
        for (std::size_t l = 0; l < length; ++l) {
            const auto& position = collection.model.positions[l];
            const double sites =
                position.counts[0] + position.counts[1] + position.counts[2] + position.counts[3];
            double entropy = 0.0;
            for (const double f : position.frequencies) {
                entropy -= f > 0.0 ? f * std::log2(f) : 0.0;
            }
            const double information =
                std::max(0.0, 2.0 - entropy - 3.0 / (2.0 * std::log(2.0) * sites));
            const LogoColumn& column = logo.forward()[l];
            QVERIFY(std::fabs(column.information - information) < 1e-12);
            double stacked = 0.0;
            for (std::size_t k = 0; k < 4; ++k) {
                stacked += column.letters[k].height;
                if (k > 0) {
                    QVERIFY(column.letters[k - 1].height <= column.letters[k].height);
                }
            }
            QVERIFY(std::fabs(stacked - information) < 1e-12);
            // The reverse strand reads the same position backwards, complemented.
            const LogoColumn& mirror = logo.reverse()[length - 1 - l];
            QVERIFY(std::fabs(mirror.information - column.information) < 1e-12);
            const auto complement = [](char base) {
                return base == 'A' ? 'T' : base == 'C' ? 'G' : base == 'G' ? 'C' : 'A';
            };
            for (const LogoLetter& letter : column.letters) {
                const auto same = std::find_if(
                    mirror.letters.begin(), mirror.letters.end(),
                    [&](const LogoLetter& other) { return other.base == complement(letter.base); });
                QVERIFY(std::fabs(same->height - letter.height) < 1e-12);
            }
        }
    }

    // A real search of the GenBank example (TSV and BED beside the table),
    // shown in the results window.
    void mapClickSelectsItsHitAndExportsMatchTheRun() {
        QTemporaryDir dir;
        xoprex::OptionTexts options = xoprex::factoryDefaults();
        options.threshold = "0.99";  // nine hits, on both strands
        xoprex::SearchInputs inputs;
        inputs.optionsPath = dir.filePath(QStringLiteral("Options.txt")).toStdString();
        xoprex::writeOptionsFile(inputs.optionsPath, options);
        inputs.sequencePath = (kExamples + "/pPCP1.gbk").toStdString();
        inputs.collections = {{(kExamples + "/crp_sites.txt").toStdString(), "crp_sites"}};
        inputs.outputFolder = dir.path().toStdString() + "/";
        inputs.sequenceTitle = "pPCP1";
        inputs.formats = {xoprex::ResultFormat::Csv, xoprex::ResultFormat::Tsv,
                          xoprex::ResultFormat::Bed};
        xoprex::SearchControl quiet;
        quiet.logEcho = nullptr;
        const std::string table = xoprex::runSearch(inputs, quiet);

        FakeServices services;
        ResultsSources sources;
        sources.resultsPath = QString::fromStdString(table);
        sources.sequencePath = QString::fromStdString(inputs.sequencePath);
        sources.collectionPath = QString::fromStdString(inputs.collections.front().path);
        sources.optionsPath = QString::fromStdString(inputs.optionsPath);
        CResultDialog window(sources, &services);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.tabs()->currentWidget(), window.hitsView());
        const int hits = window.hitsView()->model()->rowCount();
        QVERIFY(hits >= 4);
        // Enter in a filter box filters and leaves the window open.
        auto* text = window.hitsView()->findChild<QLineEdit*>(QStringLiteral("hitsText"));
        text->setFocus();
        QTest::keyClicks(text, QStringLiteral("no such hit"));
        QTest::keyClick(text, Qt::Key_Return);
        QTest::keyClick(text, Qt::Key_Enter);
        QVERIFY(window.isVisible());
        QCOMPARE(window.result(), int(QDialog::Rejected));
        QCOMPARE(window.hitsView()->filter()->rowCount(), 0);
        text->clear();

        window.tabs()->setCurrentWidget(window.genomeMap()->parentWidget()->parentWidget());
        QVERIFY(services.errors.empty());
        GenomeMap* map = window.genomeMap();
        QCOMPARE(map->trackCount(), 1);
        // Hovering a record's name shows the whole of it.
        QVERIFY(map->toolTipAt(QPoint(10, static_cast<int>(MapGeometry::kLineY)))
                    .startsWith(
                        QString::fromStdString(window.hitsView()->model()->table().records[0])));
        // The last hit of the table that lies on the reverse strand.
        int row = hits - 1;
        while (row > 0 && window.hitsView()->model()->hit(row).forward) {
            --row;
        }
        map->showHit(row);
        const QPoint tick = map->tickPosition(row);
        QVERIFY(tick.x() >= 0);
        QCOMPARE(map->hitAt(tick), row);
        window.hitsView()->view()->clearSelection();
        QTest::mouseClick(map, Qt::LeftButton, {}, tick);
        QCOMPARE(window.hitsView()->selectedHits(), std::vector<int>{row});
        QVERIFY(window.findChild<QLabel*>(QStringLiteral("mapHit"))
                    ->text()
                    .contains(QStringLiteral("selected in Hits")));

        // Every row exported as BED is the run's own BED.
        window.hitsView()->view()->selectAll();
        const QString bed = dir.filePath(QStringLiteral("chosen.bed"));
        window.exportHits(bed);
        QVERIFY(services.errors.empty());
        std::string runBed = table;
        runBed.replace(runBed.size() - 3, 3, "bed");
        QCOMPARE(readText(bed.toStdString()), readText(runBed));

        // Refused: a format the export does not know; a picture it cannot write.
        window.exportHits(dir.filePath(QStringLiteral("chosen.txt")));
        QCOMPARE(services.lastError(), QStringLiteral("Choose a .tsv, .bed or .gff3 file name"));
        window.savePicture(*map, dir.filePath(QStringLiteral("missing/map.svg")));
        QCOMPARE(services.lastError(), QStringLiteral("File Cannot be Opened for Saving"));
        window.savePicture(*map, dir.filePath(QStringLiteral("map.svg")));
        QVERIFY(readText(dir.filePath(QStringLiteral("map.svg")).toStdString()).find("<svg") !=
                std::string::npos);
    }

    // A regulon search of the GenBank example: its operons sorted by
    // posterior and by any column; choosing one selects its best window in
    // Hits when that window is a hit, and says so when it is not.
    void regulonTabSelectsTheBestWindow() {
        QTemporaryDir dir;
        xoprex::SearchInputs inputs;
        inputs.optionsSource = xoprex::OptionsSource::Factory;
        inputs.sequencePath = (kExamples + "/pPCP1.gbk").toStdString();
        inputs.collections = {{(kExamples + "/crp_sites.txt").toStdString(), "crp_sites"}};
        inputs.outputFolder = dir.path().toStdString() + "/";
        inputs.sequenceTitle = "pPCP1";
        inputs.formats = {xoprex::ResultFormat::Csv, xoprex::ResultFormat::Tsv};
        inputs.regulon = xoprex::RegulonSettings{};
        xoprex::SearchControl quiet;
        quiet.logEcho = nullptr;
        ResultsSources sources;
        sources.resultsPath = QString::fromStdString(xoprex::runSearch(inputs, quiet));
        sources.sequencePath = QString::fromStdString(inputs.sequencePath);
        sources.collectionPath = QString::fromStdString(inputs.collections.front().path);
        FakeServices services;
        {
            CResultDialog plain(sources, &services);
            QVERIFY(plain.regulonView() == nullptr);
            QCOMPARE(plain.tabs()->count(), 5);
        }
        sources.regulonPath = dir.filePath(QStringLiteral("pPCP1_crp_sites_regulon.tsv"));
        CResultDialog window(sources, &services);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        RegulonView* regulon = window.regulonView();
        QVERIFY(regulon != nullptr);
        QCOMPARE(window.tabs()->tabText(window.tabs()->indexOf(regulon)),
                 QStringLiteral("Regulon"));
        window.tabs()->setCurrentWidget(regulon);
        QSortFilterProxyModel* shown = regulon->sorter();
        QCOMPARE(shown->rowCount(), 8);
        QVERIFY(regulon->note()->text().contains(QStringLiteral("8 operons")));
        const auto value = [&](int row, int column) {
            return shown->data(shown->index(row, column)).toString();
        };
        for (int row = 1; row < shown->rowCount(); ++row) {
            QVERIFY(value(row - 1, RegulonModel::Posterior).toDouble() >=
                    value(row, RegulonModel::Posterior).toDouble());
        }
        QCOMPARE(value(0, RegulonModel::Genes), QStringLiteral("pla"));
        regulon->view()->sortByColumn(RegulonModel::Operon, Qt::AscendingOrder);
        for (int row = 0; row < shown->rowCount(); ++row) {
            QCOMPARE(value(row, RegulonModel::Operon), QString::number(row + 1));
        }

        // Operon 7 (pla): its best window is a hit, selected in Hits.
        const QModelIndex pla = shown->index(6, RegulonModel::Operon);
        regulon->view()->selectionModel()->setCurrentIndex(
            pla, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const std::vector<int> selected = window.hitsView()->selectedHits();
        QCOMPARE(selected.size(), std::size_t{1});
        const HitRow& hit = window.hitsView()->model()->hit(selected.front());
        const RegulonRow& operon = regulon->model()->operon(shown->mapToSource(pla).row());
        QCOMPARE(hit.start, operon.bestStart);
        QCOMPARE(hit.forward, operon.bestForward);
        QVERIFY(regulon->status()->text().contains(QStringLiteral("selected in Hits")));
        QCOMPARE(window.genomeMap()->trackCount(), 1);  // and shown on the map
        // Operon 2 (rop): its best window is below the cut-off.
        regulon->view()->selectionModel()->setCurrentIndex(
            shown->index(1, RegulonModel::Operon),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QVERIFY(regulon->status()->text().contains(QStringLiteral("not among the hits")));
        QVERIFY(services.errors.empty());
    }

    void mapOfManyRecordsStartsWithThoseWithHits() {
        QTemporaryDir dir;
        std::string fasta;
        for (int r = 1; r <= 60; ++r) {
            std::string bases;
            for (int i = 0; i < 120; ++i) {
                bases += "ACGT"[(i * 7 + r * 3 + i / 5) % 4];
            }
            if (r == 7 || r == 40) {
                bases.replace(50, 19, "TGTGATCGAGATCACACAA");
            }
            fasta += ">r" + std::to_string(r) + "\n" + bases + "\n";
        }
        const std::string target = dir.filePath(QStringLiteral("many.fas")).toStdString();
        std::ofstream(target) << fasta;
        xoprex::SearchInputs inputs;
        inputs.optionsSource = xoprex::OptionsSource::Factory;
        inputs.sequencePath = target;
        inputs.collections = {{(kExamples + "/crp_sites.txt").toStdString(), "crp_sites"}};
        inputs.outputFolder = dir.path().toStdString() + "/";
        inputs.sequenceTitle = "many";
        inputs.formats = {xoprex::ResultFormat::Csv, xoprex::ResultFormat::Tsv};
        xoprex::SearchControl quiet;
        quiet.logEcho = nullptr;
        ResultsSources sources;
        sources.resultsPath = QString::fromStdString(xoprex::runSearch(inputs, quiet));
        sources.sequencePath = QString::fromStdString(target);
        sources.collectionPath = QString::fromStdString(inputs.collections.front().path);
        FakeServices services;
        CResultDialog window(sources, &services);
        QVERIFY(window.loadPictures());
        const HitTable& table = window.hitsView()->model()->table();
        std::set<int> withHits;
        for (const HitRow& row : table.rows) {
            withHits.insert(row.record);
        }
        QVERIFY(withHits.size() >= 2 && withHits.size() < 60);
        QCOMPARE(window.genomeMap()->trackCount(), static_cast<int>(withHits.size()));
        window.findChild<QCheckBox*>(QStringLiteral("onlyRecordsWithHits"))->setChecked(false);
        QCOMPARE(window.genomeMap()->trackCount(), 60);
    }
};

QTEST_MAIN(ResultsViewsTest)
#include "results_views_test.moc"
