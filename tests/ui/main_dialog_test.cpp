// Drives the real main window on the offscreen platform: options file at
// start, option changes and saving, paste files, refused inputs, searches
// (a scripted one and the real one on the bundled example), fatal input
// errors and closing during a search.
#include "ui/main_dialog.h"

#include <sys/fsuid.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>

#include "fake_services.h"
#include "options/options.h"
#include "options/options_file.h"
#include "pipeline/run_search.h"
#include "ui/about_dialog.h"

namespace {

const QString kExamples = QStringLiteral(XOPREX_EXAMPLES);
const QStringList kFactoryValues = {"1", "1", "0",    "0.8", "350", "100", "1",   "1",
                                    "0", "0", "-200", "50",  "250", "850", "1.5", "2"};

QString readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A search that only records what it was given (and the paste files as
// they were while it ran) and writes a small results table.
struct RecordingSearch {
    xoprex::SearchInputs inputs;
    QString sequenceText, collectionText;
    int calls = 0;

    xoprex::ui::SearchRunner::SearchFunction function() {
        return [this](const xoprex::SearchInputs& given, const xoprex::SearchControl& control) {
            ++calls;
            inputs = given;
            sequenceText = readAll(QString::fromStdString(given.sequencePath));
            collectionText = readAll(QString::fromStdString(given.collections.front().path));
            control.onLine("Reading sequences...");
            control.onProgress(0.5);
            const std::string name = given.outputFolder + "recorded.csv";
            QFile table(QString::fromStdString(name));
            table.open(QIODevice::WriteOnly);
            table.write("Sequence,x\nGlobal score mean:,0\nScore,Site\n1.5,ACGT\n");
            return name;
        };
    }
};

}  // namespace

class MainDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        start_ = std::make_unique<QTemporaryDir>();
        QVERIFY(start_->isValid());
        previous_ = QDir::currentPath();
        QDir::setCurrent(start_->path());
        services_ = FakeServices();
    }
    void cleanup() {
        dialog_.reset();
        QDir::setCurrent(previous_);
        start_.reset();
    }

    void factoryDefaultsWrittenAtStart() {
        open();
        const QString options = start_->filePath(QStringLiteral("Options.txt"));
        QCOMPARE(optionValues(options), kFactoryValues);
        QVERIFY(readAll(options).startsWith(QStringLiteral(" OPTIONS:")));
        QCOMPARE(edit("optionsPath")->text(), options);
        QCOMPARE(edit("outputFolder")->text(), start_->path() + QLatin1Char('/'));
        QCOMPARE(combo("methodCombo")->currentText(), QStringLiteral("Ri index"));
        QCOMPARE(combo("thresholdCombo")->currentText(), QStringLiteral("0.8"));
        QCOMPARE(combo("thresholdCombo")->count(), 20);
        QCOMPARE(combo("methodCombo")->count(), 11);
        QVERIFY(radio("sortScore")->isChecked());
        QVERIFY(radio("integrativeNo")->isChecked());
        QVERIFY(!edit("upLeftDistance")->isEnabled());
        QVERIFY(!combo("rescoringCombo")->isEnabled());
        QVERIFY(button("searchButton")->isEnabled());
        QVERIFY(services_.errors.empty());
    }

    void existingOptionsFileIsLoaded() {
        xoprex::OptionTexts texts = xoprex::factoryDefaults();
        texts.methodNumber = "2";
        texts.threshold = "0.65";
        texts.integrative = true;
        texts.sortByScore = false;
        xoprex::writeOptionsFile(start_->filePath("Options.txt").toStdString(), texts);
        open();
        QCOMPARE(combo("methodCombo")->currentText(), QStringLiteral("Heterology index (HI)"));
        QCOMPARE(combo("thresholdCombo")->currentText(), QStringLiteral("0.65"));
        QVERIFY(radio("sortPosition")->isChecked());
        QVERIFY(radio("integrativeYes")->isChecked());
        QVERIFY(edit("upLeftDistance")->isEnabled());
        QVERIFY(button("searchButton")->isEnabled());
    }

    void optionChangeDisablesSearchUntilSaved() {
        open();
        const QString saved = start_->filePath(QStringLiteral("mine.txt"));
        radio("sortPosition")->click();
        QVERIFY(!button("searchButton")->isEnabled());

        button("saveButton")->click();  // the chooser is cancelled
        QCOMPARE(services_.saveRequests, 1);
        QVERIFY(!button("searchButton")->isEnabled());
        QVERIFY(!QFile::exists(saved));

        services_.saveAnswers.push_back(saved);
        button("saveButton")->click();
        QVERIFY(button("searchButton")->isEnabled());
        QCOMPARE(edit("optionsPath")->text(), saved);
        QCOMPARE(optionValues(saved).value(6), QStringLiteral("0"));

        edit("promoterDistance")->setText(QStringLiteral("500"));
        QVERIFY(!button("searchButton")->isEnabled());
        combo("thresholdCombo")->setEditText(QStringLiteral("0.5"));
        QVERIFY(!button("searchButton")->isEnabled());
    }

    void factoryDefaultsSaveWithoutAsking() {
        open();
        radio("integrativeYes")->click();
        QVERIFY(edit("upLeftDistance")->isEnabled());
        QVERIFY(!button("searchButton")->isEnabled());
        button("factoryDefaults")->click();
        QCOMPARE(services_.saveRequests, 0);
        QVERIFY(button("searchButton")->isEnabled());
        QVERIFY(radio("integrativeNo")->isChecked());
        QVERIFY(!edit("upLeftDistance")->isEnabled());
        QCOMPARE(optionValues(start_->filePath("Options.txt")), kFactoryValues);
    }

    void heterologyIndexSavedAsMethodTwo() {
        open();
        QComboBox* method = combo("methodCombo");
        method->setCurrentIndex(method->findText(QStringLiteral("Heterology index (HI)")));
        QVERIFY(!button("searchButton")->isEnabled());
        const QString saved = start_->filePath(QStringLiteral("hi.txt"));
        services_.saveAnswers.push_back(saved);
        button("saveButton")->click();
        QCOMPARE(optionValues(saved).value(1), QStringLiteral("2"));
        QCOMPARE(optionValues(saved).size(), 16);
    }

    void optionsBrowseLoadsAndCancelKeepsEdits() {
        open();
        xoprex::OptionTexts texts = xoprex::factoryDefaults();
        texts.methodNumber = "10";
        const QString other = start_->filePath(QStringLiteral("other.txt"));
        xoprex::writeOptionsFile(other.toStdString(), texts);

        edit("promoterDistance")->setText(QStringLiteral("777"));
        button("optionsBrowse")->click();  // cancelled
        QCOMPARE(edit("promoterDistance")->text(), QStringLiteral("777"));
        QVERIFY(!button("searchButton")->isEnabled());

        services_.openAnswers.push_back(other);
        button("optionsBrowse")->click();
        QCOMPARE(combo("methodCombo")->currentText(), QStringLiteral("Oprex Heterology index"));
        QCOMPARE(edit("promoterDistance")->text(), QStringLiteral("350"));
        QVERIFY(button("searchButton")->isEnabled());

        services_.openAnswers.push_back(start_->filePath(QStringLiteral("gone.txt")));
        button("optionsBrowse")->click();
        QCOMPARE(services_.lastError(), QStringLiteral("Cannot open Options file"));
    }

    void typedSequencePathIsRefused() {
        RecordingSearch search;
        open(search.function());
        edit("sequencePath")->setText(kExamples + QStringLiteral("/pPCP1.gbk"));
        dialog_->chooseCollectionFile(kExamples + QStringLiteral("/crp_sites.txt"));
        button("searchButton")->click();
        QCOMPARE(services_.lastError(), QStringLiteral("Enter the correct Sequence File"));
        QVERIFY(!dialog_->searching());
        QCOMPARE(search.calls, 0);

        // A path typed over a chosen file keeps nothing of that file (its
        // title would name the results of another genome).
        dialog_->chooseSequenceFile(kExamples + QStringLiteral("/pPCP1.gbk"));
        edit("sequencePath")->setText(kExamples + QStringLiteral("/pPCP1.fas"));
        button("searchButton")->click();
        QCOMPARE(services_.lastError(), QStringLiteral("Enter the correct Sequence File"));
        dialog_->chooseSequenceFile(kExamples + QStringLiteral("/pPCP1.gbk"));
        edit("collectionPath")->setText(kExamples + QStringLiteral("/crp.jaspar"));
        button("searchButton")->click();
        QCOMPARE(services_.lastError(), QStringLiteral("Enter the correct Collection File"));
        QCOMPARE(search.calls, 0);
    }

    // The user's Options.txt that this program may not read is left as it
    // is, with a message; the form starts from the factory defaults.
    void unreadableOptionsFileIsLeftAlone() {
        const QString path = start_->filePath(QStringLiteral("Options.txt"));
        xoprex::OptionTexts texts = xoprex::factoryDefaults();
        texts.threshold = "0.65";
        xoprex::writeOptionsFile(path.toStdString(), texts);
        const QString before = readAll(path);
        QFile::setPermissions(start_->path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther);
        QFile::setPermissions(path, QFile::WriteOwner);
        const bool root = geteuid() == 0;
        if (root) {
            setfsuid(65534);  // file access as nobody, whom the mode keeps out
        }
        open();
        if (root) {
            setfsuid(0);
        }
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(services_.lastError(), QStringLiteral("Cannot open Options file"));
        QCOMPARE(readAll(path), before);
        QCOMPARE(combo("thresholdCombo")->currentText(), QStringLiteral("0.8"));
        QVERIFY(!button("searchButton")->isEnabled());
    }

    void missingInputsAreRefused() {
        RecordingSearch search;
        open(search.function());
        button("searchButton")->click();
        QCOMPARE(services_.lastError(), QStringLiteral("Enter the Sequence File"));
        paste("sequencePaste", QStringLiteral("ACGTACGTACGT"));
        button("searchButton")->click();
        QCOMPARE(services_.lastError(), QStringLiteral("Enter the Correct Sequence"));
        paste("sequencePaste", QStringLiteral(">s\nACGTACGTACGT"));
        button("searchButton")->click();
        QCOMPARE(services_.lastError(), QStringLiteral("Enter the Collection File"));
        QCOMPARE(search.calls, 0);
        QVERIFY(!QFile::exists(start_->filePath(QStringLiteral("paste_sequence.fas"))));
    }

    void pastedInputsWrittenSearchedAndDeleted() {
        RecordingSearch search;
        open(search.function());
        const QString sequence = QStringLiteral(">seq1 pasted\nACGTTGCAACGTTGCA\n");
        const QString sites = QStringLiteral("ACGT\nACGA\n");
        paste("sequencePaste", sequence);
        paste("collectionPaste", sites);
        QVERIFY(!edit("sequencePath")->isEnabled());
        QVERIFY(!button("mergeButton")->isEnabled());
        QVERIFY(!edit("collectionPath")->isEnabled());

        button("searchButton")->click();
        QVERIFY(dialog_->searching());
        QCOMPARE(button("searchButton")->text(), QStringLiteral("Searching..."));
        QVERIFY(!button("saveButton")->isEnabled());
        QVERIFY(!edit("promoterDistance")->isEnabled());
        QTRY_VERIFY(!dialog_->searching());

        const std::string folder = start_->path().toStdString() + "/";
        QCOMPARE(search.inputs.sequencePath, folder + "paste_sequence.fas");
        QCOMPARE(search.inputs.sequenceTitle, std::string("paste_sequence"));
        QCOMPARE(search.inputs.collections.size(), std::size_t{1});
        QCOMPARE(search.inputs.collections.front().path, folder + "paste_collection.txt");
        QCOMPARE(search.inputs.collections.front().title, std::string("paste_collection"));
        QCOMPARE(search.inputs.outputFolder, folder);
        QCOMPARE(search.inputs.optionsPath, folder + "Options.txt");
        QCOMPARE(search.sequenceText, sequence);
        QCOMPARE(search.collectionText, sites);

        QVERIFY(!QFile::exists(start_->filePath(QStringLiteral("paste_sequence.fas"))));
        QVERIFY(!QFile::exists(start_->filePath(QStringLiteral("paste_collection.txt"))));
        QCOMPARE(button("searchButton")->text(), QStringLiteral("Search"));
        // Reset Controls ran: inputs emptied and enabled again.
        QVERIFY(pasteBox("sequencePaste")->toPlainText().isEmpty());
        QVERIFY(edit("sequencePath")->isEnabled());
        QVERIFY(edit("collectionPath")->isEnabled());
        QVERIFY(pasteBox("progressLog")->toPlainText().contains("Reading sequences..."));

        QVERIFY(dialog_->resultsWindow() != nullptr);
        QCOMPARE(dialog_->resultsWindow()->grid()->rowCount(), 1);
    }

    void pastedFastaCollectionGetsFasExtension() {
        RecordingSearch search;
        open(search.function());
        paste("sequencePaste", QStringLiteral(">s\nACGTACGT"));
        paste("collectionPaste", QStringLiteral(">a\nACGT\n>b\nACGA\n"));
        button("searchButton")->click();
        QTRY_VERIFY(!dialog_->searching());
        QVERIFY(QString::fromStdString(search.inputs.collections.front().path)
                    .endsWith(QStringLiteral("/paste_collection.fas")));
    }

    void exampleSearchOpensResultsWindow() {
        open();
        dialog_->chooseSequenceFile(kExamples + QStringLiteral("/pPCP1.gbk"));
        dialog_->chooseCollectionFile(kExamples + QStringLiteral("/crp_sites.txt"));
        QVERIFY(!pasteBox("sequencePaste")->isEnabled());
        QCOMPARE(edit("outputFolder")->text(), kExamples + QLatin1Char('/'));
        services_.folderAnswers.push_back(start_->path());
        button("outputBrowse")->click();
        QCOMPARE(edit("outputFolder")->text(), start_->path() + QLatin1Char('/'));

        button("searchButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog_->searching(), 120000);
        QVERIFY2(services_.errors.empty(), qPrintable(services_.lastError()));
        CResultDialog* results = dialog_->resultsWindow();
        QVERIFY(results != nullptr);
        QVERIFY(results->isVisible());

        const QString table = start_->filePath(QStringLiteral("pPCP1_crp_sites_Ri_0.800.csv"));
        QCOMPARE(results->resultsPath(), table);
        const QStringList lines = readAll(table).split(QLatin1Char('\n'));
        QTableWidget* grid = results->grid();
        QCOMPARE(grid->columnCount(), 15);
        QCOMPARE(grid->horizontalHeaderItem(14)->text(), QStringLiteral("Dw Mean"));
        QStringList expectedFirstCells;
        for (int i = 3; i < lines.size(); ++i) {
            if (lines[i].contains(QLatin1Char(','))) {
                expectedFirstCells << lines[i].section(QLatin1Char(','), 0, 0);
            }
        }
        QStringList shownFirstCells;
        for (int row = 0; row < grid->rowCount(); ++row) {
            shownFirstCells << grid->item(row, 0)->text();
        }
        QCOMPARE(shownFirstCells, expectedFirstCells);
        QVERIFY(shownFirstCells.contains(QStringLiteral("Sites")));
        QVERIFY(
            pasteBox("progressLog")->toPlainText().contains(QStringLiteral("Saving results to")));
        // Names survive the search, the inputs do not.
        QVERIFY(edit("sequencePath")->text().isEmpty());
        QCOMPARE(edit("outputFolder")->text(), start_->path() + QLatin1Char('/'));
    }

    void extraControlsRunTheSearchTheirFlagsWould() {
        RecordingSearch recording;
        open(recording.function());
        chooseExampleInputs();
        // A p-value that is no p-value is refused before anything runs.
        edit("pValueCutOff")->setText(QStringLiteral("2"));
        button("searchButton")->click();
        QVERIFY(services_.lastError().contains(QStringLiteral("p-value")));
        QCOMPARE(recording.calls, 0);

        // --pvalue 1e-4 --collection more.txt --motifs a.jaspar --motifs b.meme
        // --all-records --topology auto --skip-ambiguous --report run.html, as
        // xoprex regulon
        edit("pValueCutOff")->setText(QStringLiteral("1e-4"));
        services_.openAnswers = {QStringLiteral("/data/a.jaspar"), QStringLiteral("/data/b.meme"),
                                 QStringLiteral("/data/more.txt")};
        button("matrixBrowse")->click();
        button("matrixBrowse")->click();
        button("moreCollectionsBrowse")->click();
        QCOMPARE(edit("matrixFiles")->text(), QStringLiteral("/data/a.jaspar; /data/b.meme"));
        child<QCheckBox>("allRecords")->setChecked(true);
        combo("topologyCombo")->setCurrentText(QStringLiteral("auto"));
        child<QCheckBox>("skipAmbiguous")->setChecked(true);
        child<QCheckBox>("regulon")->setChecked(true);
        services_.saveAnswers.push_back(start_->filePath(QStringLiteral("run.html")));
        button("reportBrowse")->click();
        button("searchButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog_->searching(), 20000);
        QCOMPARE(recording.calls, 1);

        const xoprex::SearchInputs& given = recording.inputs;
        QCOMPARE(given.collections.size(), std::size_t(4));
        QCOMPARE(given.collections[1].path, std::string("/data/more.txt"));
        QCOMPARE(given.collections[1].title, std::string("more"));
        QVERIFY(!given.collections[1].matrices);
        QCOMPARE(given.collections[2].path, std::string("/data/a.jaspar"));
        QCOMPARE(given.collections[3].path, std::string("/data/b.meme"));
        QVERIFY(given.collections[2].matrices && given.collections[3].matrices);
        QVERIFY(given.pValue && *given.pValue == 1e-4);
        QVERIFY(given.rules.allGenBankRecords);
        QVERIFY(given.topology == xoprex::TopologyRule::Auto);
        QVERIFY(given.skipAmbiguous);
        QVERIFY(given.regulon.has_value());
        QCOMPARE(given.reportPath, start_->filePath(QStringLiteral("run.html")).toStdString());
        // The desktop program's own rules stay: the file names it reads.
        QVERIFY(given.rules.names == xoprex::NameRule::Strict);
    }

    void resultsOpenBesideTheFormAndReopenFromTheResultsMenu() {
        RecordingSearch recording;
        open(recording.function());
        chooseExampleInputs();
        button("searchButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog_->searching(), 20000);
        QPointer<CResultDialog> first = dialog_->resultsWindow();
        QVERIFY(first != nullptr && first->isVisible());
        QVERIFY(!first->isModal());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        first->close();
        QTRY_VERIFY(first == nullptr);

        auto* menu = dialog_->findChild<QMenu*>(QStringLiteral("resultsMenu"));
        QVERIFY(menu != nullptr);
        emit menu->aboutToShow();
        QCOMPARE(menu->actions().size(), 1);
        menu->actions().front()->trigger();
        CResultDialog* again = dialog_->resultsWindow();
        QVERIFY(again != nullptr && again->isVisible());
        QCOMPARE(again->resultsPath(), start_->filePath(QStringLiteral("recorded.csv")));
    }

    void fatalInputErrorLeavesDialogAsItWas() {
        open();
        dialog_->chooseSequenceFile(kExamples + QStringLiteral("/pPCP1.gbk"));
        services_.folderAnswers.push_back(start_->path());
        button("outputBrowse")->click();
        const QString badSites = QStringLiteral("ACGTACGT\nACGTA\n");
        paste("collectionPaste", badSites);

        button("searchButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog_->searching(), 60000);
        QCOMPARE(services_.errors.size(), std::size_t{1});
        QVERIFY(!services_.lastError().isEmpty());
        QVERIFY(dialog_->isVisible());
        QVERIFY(dialog_->resultsWindow() == nullptr);
        QVERIFY(button("searchButton")->isEnabled());
        QCOMPARE(button("searchButton")->text(), QStringLiteral("Search"));
        QCOMPARE(pasteBox("collectionPaste")->toPlainText(), badSites);
        QCOMPARE(edit("sequencePath")->text(), kExamples + QStringLiteral("/pPCP1.gbk"));
        QVERIFY(edit("collectionPath")->text().isEmpty());
        QVERIFY(!QFile::exists(start_->filePath(QStringLiteral("paste_collection.txt"))));
        QVERIFY(QFile::exists(start_->filePath(QStringLiteral("OprexLog.txt"))));
        QVERIFY(QFileInfo(start_->filePath(QStringLiteral("OprexLog.txt"))).size() > 0);

        // The window still works: a correct collection now searches.
        button("resetButton")->click();
        dialog_->chooseSequenceFile(kExamples + QStringLiteral("/pPCP1.gbk"));
        dialog_->chooseCollectionFile(kExamples + QStringLiteral("/crp_sites.txt"));
        services_.folderAnswers.push_back(start_->path());
        button("outputBrowse")->click();
        button("searchButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog_->searching(), 120000);
        QVERIFY(dialog_->resultsWindow() != nullptr);
    }

    void closingDuringSearchAsksAndCancels() {
        std::atomic<bool> sawCancel{false};
        auto slowSearch = [&sawCancel](const xoprex::SearchInputs&,
                                       const xoprex::SearchControl& control) -> std::string {
            while (!control.cancel->load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            sawCancel = true;
            throw xoprex::SearchCancelled();
        };
        open(slowSearch);
        paste("sequencePaste", QStringLiteral(">s\nACGTACGT"));
        paste("collectionPaste", QStringLiteral("ACGT\n"));
        button("searchButton")->click();
        QVERIFY(dialog_->searching());

        services_.confirmAnswer = false;
        dialog_->close();
        QCOMPARE(services_.confirmations, 1);
        QTest::qWait(50);
        QVERIFY(dialog_->isVisible());
        QVERIFY(dialog_->searching());

        services_.confirmAnswer = true;
        button("exitButton")->click();
        QCOMPARE(services_.confirmations, 2);
        QTRY_VERIFY(!dialog_->isVisible());
        QVERIFY(sawCancel);
        QVERIFY(!dialog_->searching());
        QVERIFY(services_.errors.empty());
        QVERIFY(!QFile::exists(start_->filePath(QStringLiteral("paste_sequence.fas"))));
    }

    void mergeFailureIsReported() {
        open();
        dialog_->chooseSequenceFile(start_->filePath(QStringLiteral("missing.gbk")));
        button("mergeButton")->click();
        QCOMPARE(services_.lastError(), QStringLiteral("Unable to open input file."));
        QVERIFY(services_.errors.back().detail.contains(QStringLiteral("missing.gbk")));
        QCOMPARE(button("mergeButton")->text(), QStringLiteral("Merge"));
    }

    void mergeReplacesTheSequenceFile() {
        RecordingSearch search;
        open(search.function());
        const QString twoRecords = start_->filePath(QStringLiteral("two.gbk"));
        const QString record = readAll(kExamples + QStringLiteral("/pPCP1.gbk"));
        QFile file(twoRecords);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write((record + record).toUtf8());
        file.close();

        dialog_->chooseSequenceFile(twoRecords);
        button("mergeButton")->click();
        QVERIFY(services_.errors.empty());
        const QString merged = start_->filePath(QStringLiteral("Merged_two.gbk"));
        QVERIFY(QFile::exists(merged));
        QCOMPARE(edit("sequencePath")->text(), merged);
        QCOMPARE(edit("outputFolder")->text(), start_->path() + QLatin1Char('/'));

        // The merged file is accepted as a GenBank target without browsing.
        dialog_->chooseCollectionFile(kExamples + QStringLiteral("/crp_sites.txt"));
        button("searchButton")->click();
        QTRY_VERIFY(!dialog_->searching());
        QCOMPARE(search.calls, 1);
        QCOMPARE(search.inputs.sequenceTitle, std::string("Merged_two"));
        QCOMPARE(QString::fromStdString(search.inputs.sequencePath), merged);
    }

    void helpShowsBuiltInManualAndAboutShowsBox() {
        open();
        button("helpButton")->click();
        auto* help = dialog_->findChild<HelpViewer*>();
        QVERIFY(help != nullptr);
        QVERIFY(help->isVisible());
        const QString manual = help->browser()->toPlainText();
        for (int method = 0; method < xoprex::kMethodCount; ++method) {
            const QString label = QString::fromLatin1(xoprex::scoringMethods()[method].formLabel);
            QVERIFY2(manual.contains(label), qPrintable(label));
            const QString report =
                QString::fromLatin1(xoprex::scoringMethods()[method].reportLabel);
            QVERIFY2(manual.contains(report), qPrintable(report));
        }
        for (const char* option :
             {"Generate Log Files", "Compute Background Entropy", "Threshold",
              "Distance to Promoter", "Distance in-gene", "Sort Results By",
              "Remove redundant matches", "Literal cut off", "Use Integrative factor",
              "UpLeftDistance", "UpRightDistance", "DwLeftDistance", "DwRightDistance",
              "Relaxation constant", "Rescoring method", "paste_sequence.fas", "OprexLog.txt"}) {
            QVERIFY2(manual.contains(QString::fromLatin1(option)), option);
        }

        button("aboutButton")->click();
        auto* about = dialog_->findChild<CAboutDlg*>();
        QVERIFY(about != nullptr);
        QCOMPARE(about->windowTitle(), QStringLiteral("About XOprex"));
        QVERIFY(about->isVisible());
    }

  private:
    // The bundled example, results into the start folder.
    void chooseExampleInputs() {
        dialog_->chooseSequenceFile(kExamples + QStringLiteral("/pPCP1.gbk"));
        dialog_->chooseCollectionFile(kExamples + QStringLiteral("/crp_sites.txt"));
        services_.folderAnswers.push_back(start_->path());
        button("outputBrowse")->click();
    }
    void open(xoprex::ui::SearchRunner::SearchFunction search = {}) {
        dialog_ = std::make_unique<COprex_AppDlg>(nullptr, &services_, std::move(search));
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    }
    template <typename Widget>
    Widget* child(const char* name) {
        auto* widget = dialog_->findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            qFatal("no control named %s", name);
        }
        return widget;
    }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(name); }
    QComboBox* combo(const char* name) { return child<QComboBox>(name); }
    QRadioButton* radio(const char* name) { return child<QRadioButton>(name); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    QPlainTextEdit* pasteBox(const char* name) { return child<QPlainTextEdit>(name); }
    void paste(const char* name, const QString& text) { pasteBox(name)->setPlainText(text); }

    std::unique_ptr<QTemporaryDir> start_;
    QString previous_;
    FakeServices services_;
    std::unique_ptr<COprex_AppDlg> dialog_;
};

QTEST_MAIN(MainDialogTest)
#include "main_dialog_test.moc"
