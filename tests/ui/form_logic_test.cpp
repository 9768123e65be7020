// The main window's rules that need no widgets: extensions, threshold list,
// results file name and the Search button's checks.
#include "ui/form_logic.h"

#include <QtTest>

using namespace xoprex::ui;

namespace {

SearchForm pastedForm(const std::string& sequence, const std::string& collection) {
    SearchForm form;
    form.startFolder = "/start";
    form.outputFolder = "/out/";
    form.optionsPath = "/start/Options.txt";
    form.pastedSequence = sequence;
    form.pastedCollection = collection;
    return form;
}

}  // namespace

class FormLogicTest : public QObject {
    Q_OBJECT
  private slots:
    void extensionsAreCaseSensitive() {
        for (const char* ext : {"GBK", "gbk", "GB", "gb", "FAS", "fas", "FNA", "fna"}) {
            QVERIFY2(isSequenceExtension(ext), ext);
        }
        for (const char* ext : {"Gbk", "txt", "fasta", "", "fa"}) {
            QVERIFY2(!isSequenceExtension(ext), ext);
        }
        for (const char* ext : {"TXT", "txt", "FAS", "fas", "FNA", "fna"}) {
            QVERIFY2(isCollectionExtension(ext), ext);
        }
        for (const char* ext : {"gbk", "Txt", "csv", ""}) {
            QVERIFY2(!isCollectionExtension(ext), ext);
        }
    }

    void fileExtensionIsTakenFromTheNameOnly() {
        QCOMPARE(fileExtension("/data/ecoli.gbk"), std::string("gbk"));
        QCOMPARE(fileExtension("/data/ecoli.K12.fna"), std::string("fna"));
        QCOMPARE(fileExtension("/data.v2/ecoli"), std::string(""));
        QCOMPARE(fileExtension("ecoli"), std::string(""));
    }

    void thresholdListHasTwentyChoices() {
        const std::vector<std::string> choices = thresholdChoices();
        QCOMPARE(choices.size(), std::size_t{20});
        QCOMPARE(choices[0], std::string("0"));
        QCOMPARE(choices[1], std::string("0.1"));
        QCOMPARE(choices[2], std::string("0.15"));
        QCOMPARE(choices[3], std::string("0.2"));
        QCOMPARE(choices[18], std::string("0.95"));
        QCOMPARE(choices[19], std::string("1.0"));
    }

    void trailingSeparatorAddedOnce() {
        QCOMPARE(xoprex::withTrailingSeparator("/data"), std::string("/data/"));
        QCOMPARE(xoprex::withTrailingSeparator("/data/"), std::string("/data/"));
        QCOMPARE(xoprex::withTrailingSeparator(""), std::string(""));
    }

    void pastedFastaBecomesPasteFiles() {
        const SearchPlan plan = planSearch(pastedForm(">seq1\nACGTACGT\n", "ACGT\nACGA\n"));
        QCOMPARE(plan.error, std::string());
        QVERIFY(!plan.stopQuietly);
        QVERIFY(plan.sequencePaste.has_value());
        QCOMPARE(plan.sequencePaste->path, std::string("/out/paste_sequence.fas"));
        QCOMPARE(plan.sequencePaste->text, std::string(">seq1\nACGTACGT\n"));
        QCOMPARE(plan.form.sequencePath, std::string("/out/paste_sequence.fas"));
        QCOMPARE(plan.form.sequenceTitle, std::string("paste_sequence"));
        QCOMPARE(plan.form.sequenceExt, std::string("fas"));
        QVERIFY(plan.collectionPaste.has_value());
        QCOMPARE(plan.collectionPaste->path, std::string("/out/paste_collection.txt"));
        QCOMPARE(plan.form.collectionTitle, std::string("paste_collection"));
        QCOMPARE(plan.form.collectionExt, std::string("txt"));
    }

    void pastedCollectionWithHeaderIsFasta() {
        const SearchPlan plan = planSearch(pastedForm(">s\nACGT\n", ">site\nACGT\n"));
        QCOMPARE(plan.collectionPaste->path, std::string("/out/paste_collection.fas"));
        QCOMPARE(plan.form.collectionExt, std::string("fas"));
    }

    void pastedSequenceWithoutHeaderNeedsFasExtension() {
        SearchForm form = pastedForm("ACGTACGT", "ACGT");
        QCOMPARE(planSearch(form).error, std::string("Enter the Correct Sequence"));
        form.sequenceExt = "fas";  // recorded by an earlier FASTA choice
        const SearchPlan plan = planSearch(form);
        QCOMPARE(plan.error, std::string());
        QCOMPARE(plan.sequencePaste->path, std::string("/out/paste_sequence.fas"));
    }

    void refusalsInCheckOrder() {
        QCOMPARE(planSearch(pastedForm("", "")).error, std::string("Enter the Sequence File"));
        QCOMPARE(planSearch(pastedForm(">s\nACGT", "")).error,
                 std::string("Enter the Collection File"));

        SearchForm typed = pastedForm("", "ACGT");
        typed.sequencePath = "/data/ecoli.gbk";  // typed, nothing recorded
        QCOMPARE(planSearch(typed).error, std::string("Enter the correct Sequence File"));
        typed.sequenceExt = "gbk";
        typed.collectionPath = "/data/sites.csv";
        typed.collectionExt = "csv";
        QCOMPARE(planSearch(typed).error, std::string("Enter the correct Collection File"));
        typed.collectionExt = "txt";
        const SearchPlan plan = planSearch(typed);
        QCOMPARE(plan.error, std::string());
        QVERIFY(!plan.sequencePaste && !plan.collectionPaste);
    }

    void refusedSearchWritesNoPasteFile() {
        // The sequence is fine but the collection is missing: nothing may be
        // left behind in the output folder.
        const SearchPlan plan = planSearch(pastedForm(">s\nACGT", ""));
        QVERIFY(!plan.error.empty());
        QVERIFY(!plan.sequencePaste.has_value());
    }

    void emptyOptionsPathIsFilledAndStops() {
        SearchForm form = pastedForm(">s\nACGT", "ACGT");
        form.optionsPath.clear();
        const SearchPlan plan = planSearch(form);
        QCOMPARE(plan.error, std::string());
        QVERIFY(plan.stopQuietly);
        QCOMPARE(plan.form.optionsPath, std::string("/start/Options.txt"));
        QVERIFY(!plan.sequencePaste && !plan.collectionPaste);
    }

    void oversizedPasteIsRefusedNotCut() {
        const std::string huge = ">s\n" + std::string(kPasteLimit, 'A');
        QCOMPARE(planSearch(pastedForm(huge, "ACGT")).error, std::string(kSequenceTooLong));
        QCOMPARE(planSearch(pastedForm(">s\nACGT", std::string(kPasteLimit + 1, 'A'))).error,
                 std::string(kCollectionTooLong));
    }
};

QTEST_APPLESS_MAIN(FormLogicTest)
#include "form_logic_test.moc"
