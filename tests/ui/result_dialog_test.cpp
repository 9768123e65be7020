// The results window and the results-table reader.
#include "ui/result_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <sstream>

#include "fake_services.h"
#include "ui/results_table.h"

using namespace xoprex::ui;

namespace {

const char* const kHeader =
    "Score,Site,Strand,Distance,Type,Abs. position,Gene strand,Start,End,Gene tag,Gene,Product,"
    "Local Mean,Up Mean,Dw Mean";

// A results table of one FASTA record with three hits and the summary.
std::string sampleTable() {
    std::string text = "Sequence,seq1 test record\nGlobal score mean:,0\n";
    text += kHeader;
    text += "\n";
    text += "9.5,ACGTACGT,1,0,Unknown,12,0,0,0,No gene tag,No gene name,No product,0,0,0\n";
    text += "12.25,TTGACAAT,0,0,Unknown,40,0,0,0,No gene tag,No gene name,No product,0,0,0\n";
    text += "-3.125,GGGGCCCC,1,0,Unknown,7,0,0,0,No gene tag,No gene name,No product,0,0,0\n";
    text += "\nSequences,1\nSites,3\nA priori H,2.000\nMethod,Ri\nCut-off,+4.217; - Computed\n";
    return text;
}

QString writeFile(const QTemporaryDir& dir, const std::string& text) {
    const QString path = dir.filePath(QStringLiteral("ecoli_lexA_Ri_0.800.csv"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text.data(), static_cast<qint64>(text.size()));
    return path;
}

QString cell(const QTableWidget* grid, int row, int column) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item != nullptr ? item->text() : QString();
}

}  // namespace

class ResultDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void splitKeepsEmptyAndUntrimmedFields() {
        QCOMPARE(splitFields("a,,b,"), (std::vector<std::string>{"a", "", "b", ""}));
        QCOMPARE(splitFields(" x ,\"y\""), (std::vector<std::string>{" x ", "\"y\""}));
        QCOMPARE(splitFields("single"), (std::vector<std::string>{"single"}));
    }

    void readerSkipsTwoLinesAndTakesTitlesFromTheThird() {
        std::istringstream in(sampleTable());
        const ResultsGrid grid = parseResultsTable(in);
        QCOMPARE(grid.columns.size(), std::size_t{15});
        QCOMPARE(grid.columns.front(), std::string("Score"));
        QCOMPARE(grid.columns.back(), std::string("Dw Mean"));
        // Three hits and five summary lines; the empty line is not a row.
        QCOMPARE(grid.rows.size(), std::size_t{8});
        QCOMPARE(grid.rows[0][1], std::string("ACGTACGT"));
        QCOMPARE(grid.rows[3], (std::vector<std::string>{"Sequences", "1"}));
        QCOMPARE(grid.rows[7], (std::vector<std::string>{"Cut-off", "+4.217; - Computed"}));
    }

    void readerAcceptsWindowsLineEnds() {
        std::istringstream in("a\r\nb\r\nx,y\r\n1,2\r\n");
        const ResultsGrid grid = parseResultsTable(in);
        QCOMPARE(grid.columns, (std::vector<std::string>{"x", "y"}));
        QCOMPARE(grid.rows.at(0), (std::vector<std::string>{"1", "2"}));
    }

    void readerOfShortFileGivesEmptyGrid() {
        std::istringstream in("Sequence,x\n");
        const ResultsGrid grid = parseResultsTable(in);
        QVERIFY(grid.columns.empty());
        QVERIFY(grid.rows.empty());
    }

    void windowShowsTheTable() {
        QTemporaryDir dir;
        FakeServices services;
        CResultDialog dialog(writeFile(dir, sampleTable()), &services);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("XOprex Results"));
        QVERIFY(services.errors.empty());
        const QTableWidget* grid = dialog.grid();
        QCOMPARE(grid->columnCount(), 15);
        QCOMPARE(grid->horizontalHeaderItem(14)->text(), QStringLiteral("Dw Mean"));
        QCOMPARE(grid->rowCount(), 8);
        QCOMPARE(cell(grid, 1, 0), QStringLiteral("12.25"));
        QCOMPARE(cell(grid, 1, 11), QStringLiteral("No product"));
        QCOMPARE(cell(grid, 4, 1), QStringLiteral("3"));
        QVERIFY(grid->font().fixedPitch());
        QVERIFY(grid->columnWidth(2) >= 120);
    }

    void missingTableIsReported() {
        QTemporaryDir dir;
        FakeServices services;
        const QString path = dir.filePath(QStringLiteral("missing_Ri_0.800.csv"));
        CResultDialog dialog(path, &services);
        QCOMPARE(services.errors.size(), std::size_t{1});
        QCOMPARE(services.errors.front().message, QStringLiteral("CSV File Cannot be Opened"));
        QCOMPARE(services.errors.front().detail, path);
        QCOMPARE(dialog.grid()->rowCount(), 0);
    }

    void scoresSortAsNumbers() {
        QTemporaryDir dir;
        FakeServices services;
        CResultDialog dialog(writeFile(dir, sampleTable()), &services);
        QTableWidget* grid = dialog.grid();
        grid->sortItems(0, Qt::DescendingOrder);
        // As text "9.5" would come before "12.25"; as numbers it follows.
        QStringList scores;
        for (int row = 0; row < grid->rowCount(); ++row) {
            bool number = false;
            cell(grid, row, 0).toDouble(&number);
            if (number) {
                scores << cell(grid, row, 0);
            }
        }
        QCOMPARE(scores, (QStringList{"12.25", "9.5", "-3.125"}));
        grid->sortItems(5, Qt::AscendingOrder);
        QCOMPARE(cell(grid, 0, 5), QStringLiteral("7"));
        QCOMPARE(cell(grid, 2, 5), QStringLiteral("40"));
    }

    void selectedRowsCopyAsTheirLines() {
        QTemporaryDir dir;
        FakeServices services;
        CResultDialog dialog(writeFile(dir, sampleTable()), &services);
        QTableWidget* grid = dialog.grid();
        grid->selectRow(2);
        grid->setSelectionMode(QAbstractItemView::MultiSelection);
        grid->selectRow(0);
        grid->selectRow(4);
        dialog.copySelectedRows();
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral(
                     "9.5,ACGTACGT,1,0,Unknown,12,0,0,0,No gene tag,No gene name,No product,0,0,0\n"
                     "-3.125,GGGGCCCC,1,0,Unknown,7,0,0,0,No gene tag,No gene name,No product,0,0,"
                     "0\nSites,3\n"));
    }
};

QTEST_MAIN(ResultDialogTest)
#include "result_dialog_test.moc"
