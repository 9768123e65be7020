#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/errors.h"
#include "report/reports.h"
#include "temp_dir.h"

namespace xoprex {
namespace {

namespace fs = std::filesystem;

class SequenceLogs : public ::testing::Test {
  protected:
    std::string geneLog() const { return base_ + "_gene_log.csv"; }
    std::string sequenceLog() const { return base_ + "_seq_log.txt"; }

    static std::string read(const std::string& path) { return testing::readFile(path); }

    testing::TempDir dir_;
    std::string base_ = dir_.file("run");
};

SequenceRecord record(char format, const std::string& description, const std::string& sequence) {
    SequenceRecord result;
    result.format = format;
    result.description = description;
    result.sequence = sequence;
    return result;
}

GeneRecord gene(int32_t begin, int32_t end, bool sense, const std::string& locus,
                const std::string& name, const std::string& product) {
    GeneRecord result;
    result.begin = begin;
    result.end = end;
    result.sense = sense;
    result.locus = locus;
    result.gene = name;
    result.product = product;
    return result;
}

TEST_F(SequenceLogs, GenBankTargetWritesBothLogs) {
    SequenceSet set;
    set.records.push_back(record('G', "Yersinia pestis plasmid pPCP1", "ACGTACGTAC"));
    set.records[0].genes.push_back(gene(87, 1109, true, "YP_pPCP01", "", "putative transposase"));
    set.records[0].genes.push_back(
        gene(5888, 4815, false, "YP_pPCP05", "pla", "plasminogen activator, outer membrane"));
    set.records.push_back(record('G', "no genes", "GG"));
    set.current = 1;

    writeSequenceLogs(set, base_);

    // The product comes before the gene name; a complement gene has sense 0
    // with begin and end as stored; commas in gene texts become full stops.
    EXPECT_EQ(read(geneLog()),
              "Begin,End,Sense,Locus,Product,Gene\n"
              "87,1109,1,YP_pPCP01,putative transposase,\n"
              "5888,4815,0,YP_pPCP05,plasminogen activator. outer membrane,pla\n"
              ";;;;,\n"
              "Begin,End,Sense,Locus,Product,Gene\n"
              ";;;;,\n");
    EXPECT_EQ(read(sequenceLog()),
              ">Yersinia pestis plasmid pPCP1\nACGTACGTAC\n\n"
              ">no genes\nGG\n\n");
    EXPECT_EQ(set.current, 0u);
}

TEST_F(SequenceLogs, FastaTargetHasNoGeneLog) {
    SequenceSet set;
    set.records.push_back(record('F', "first", "AAAA"));
    set.records.push_back(record('F', "second, with comma", "CCC"));
    writeSequenceLogs(set, base_);
    EXPECT_FALSE(fs::exists(geneLog()));
    EXPECT_EQ(read(sequenceLog()), ">first\nAAAA\n\n>second, with comma\nCCC\n\n");
}

TEST_F(SequenceLogs, SequenceLinesHoldSeventyCharacters) {
    const std::string line70(70, 'A');
    SequenceSet set;
    set.records.push_back(record('F', "140", line70 + std::string(70, 'C')));
    set.records.push_back(record('F', "141", line70 + std::string(70, 'C') + "G"));
    set.records.push_back(record('F', "70", line70));
    set.records.push_back(record('F', "empty", ""));
    writeSequenceLogs(set, base_);
    EXPECT_EQ(read(sequenceLog()), ">140\n" + line70 + "\n" + std::string(70, 'C') + "\n\n" +
                                       ">141\n" + line70 + "\n" + std::string(70, 'C') + "\nG\n\n" +
                                       ">70\n" + line70 + "\n\n" + ">empty\n\n");
}

TEST_F(SequenceLogs, NegativeCoordinatesPrintUnsigned) {
    SequenceSet set;
    set.records.push_back(record('G', "g", "A"));
    set.records[0].genes.push_back(gene(-1, 0, true, "t", "n", "p"));
    writeSequenceLogs(set, base_);
    EXPECT_EQ(read(geneLog()), "Begin,End,Sense,Locus,Product,Gene\n4294967295,0,1,t,p,n\n;;;;,\n");
}

TEST_F(SequenceLogs, LargeSequenceIsWrittenWhole) {
    std::string sequence;
    for (int i = 0; i < 1000003; ++i) {
        sequence += "ACGT"[i % 4];
    }
    SequenceSet set;
    set.records.push_back(record('F', "big", sequence));
    writeSequenceLogs(set, base_);
    const std::string text = read(sequenceLog());
    std::string joined;
    size_t longest = 0;
    std::istringstream lines(text.substr(5));  // after ">big\n"
    for (std::string line; std::getline(lines, line);) {
        joined += line;
        longest = std::max(longest, line.size());
    }
    EXPECT_EQ(joined, sequence);
    EXPECT_EQ(longest, 70u);
}

TEST_F(SequenceLogs, FolderThatDoesNotExistIsReported) {
    SequenceSet set;
    set.records.push_back(record('G', "g", "A"));
    const std::string base = (dir_.path() / "missing" / "run").string();
    EXPECT_THROW(writeSequenceLogs(set, base), OutputError);
    EXPECT_FALSE(fs::exists(dir_.path() / "missing"));
}

}  // namespace
}  // namespace xoprex
