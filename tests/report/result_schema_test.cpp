// The output schema read back from what the writers actually write: the
// results table's summary, the TSV's comment lines and columns, and the
// names of a search's files.
#include "report/result_schema.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "report/regulon_table.h"
#include "report/reports.h"
#include "report/result_formats.h"

namespace xoprex {
namespace {

std::vector<RecordResults> twoRecords() {
    std::vector<RecordResults> results;
    for (const char* name : {"chr1", "chr2"}) {
        RecordInfo record;
        record.name = name;
        record.description = std::string(name) + " test, with a comma";
        record.length = 1000;
        RecordHits hits;
        for (int32_t i = 0; i < 2; ++i) {
            SiteHit hit(4);
            hit.site = "ACGT";
            hit.position = 10 * i;
            hit.strand = i == 0;
            hit.score = 3.5 + i;
            hits.hits.push_back(hit);
        }
        hits.windowsScored = 2000;
        results.push_back({std::make_shared<const RecordInfo>(record), hits});
    }
    return results;
}

Options literalOptions() {
    Options options;
    options.method = 1;
    options.cutOff = 3.25;
    options.literalCutOff = true;
    return options;
}

TEST(ResultSchema, SummaryParsesWhatTheTableWriterWrote) {
    std::ostringstream table;
    writeResultsTable(literalOptions(), twoRecords(), table);
    std::istringstream in(table.str());
    const ResultsSummary summary = parseResultsSummary(in);
    EXPECT_EQ(summary.sequences, "2");
    EXPECT_EQ(summary.sites, "4");
    EXPECT_EQ(summary.entropy, "2.000");
    EXPECT_EQ(summary.method, "Ri");
    EXPECT_EQ(summary.cutOff, "+3.250; - Literal");
    EXPECT_NE(table.str().find(kResultsTableHeader), std::string::npos);
}

TEST(ResultSchema, TsvColumnsAndCommentsParseWhatTheWriterWrote) {
    ResultContext context;
    context.commandLine = "xoprex search ...";
    context.targetPath = "genomes/target.fna";
    context.collectionPath = "sites/lexA.txt";
    context.collectionTitle = "lexA";
    std::ostringstream text;
    StreamSink sink(text, "the TSV");
    writeResults(ResultFormat::Tsv, context, literalOptions(), twoRecords(), sink);
    std::istringstream in(text.str());
    std::vector<std::string> comments;
    std::string header;
    while (std::getline(in, header) && header.rfind('#', 0) == 0) {
        comments.push_back(header);
    }
    EXPECT_EQ(tsvCommentValue(comments, tsv_comment::kCollectionTitle), "lexA");
    EXPECT_EQ(tsvCommentValue(comments, tsv_comment::kCollection), "sites/lexA.txt");
    EXPECT_EQ(tsvCommentValue(comments, tsv_comment::kTarget), "genomes/target.fna");
    EXPECT_EQ(tsvCommentValue(comments, tsv_comment::kWindows), "4000");
    EXPECT_EQ(tsvCommentValue(comments, tsv_comment::kMethod), "1 (Ri)");
    EXPECT_EQ(tsvCommentValue(comments, "no such key"), "");
    const std::array<int, kTsvColumnCount> places = tsvColumnPlaces(header);
    for (size_t column = 0; column < kTsvColumnCount; ++column) {
        EXPECT_EQ(places[column], static_cast<int>(column)) << tsvColumnNames()[column];
    }
    // A header from elsewhere: columns found by name, the missing ones absent.
    const auto other = tsvColumnPlaces("extra\tscore\trecord\tscore");
    EXPECT_EQ(other[static_cast<size_t>(TsvColumn::Score)], 1);
    EXPECT_EQ(other[static_cast<size_t>(TsvColumn::Record)], 2);
    EXPECT_EQ(other[static_cast<size_t>(TsvColumn::PValue)], kAbsentColumn);
    // Every row has a field per column.
    size_t rows = 0;
    for (std::string row; std::getline(in, row); ++rows) {
        EXPECT_EQ(static_cast<size_t>(std::count(row.begin(), row.end(), '\t')) + 1,
                  kTsvColumnCount);
    }
    EXPECT_EQ(rows, 4u);
}

TEST(ResultSchema, FileNamesOfASearch) {
    const OutputNaming naming{"out/", "ecoli", "lexA"};
    Options options;
    options.method = 5;
    options.threshold = static_cast<double>(0.8f);
    const std::string table = resultsFileName(options, naming);
    EXPECT_EQ(table, "out/ecoli_lexA_Rsequence_Ri_0.800.csv");
    EXPECT_EQ(resultsFileName(options, 1e-4, naming), "out/ecoli_lexA_Rsequence_Ri_p1e-04.csv");
    EXPECT_EQ(resultsPath(table, ResultFormat::Gff3), "out/ecoli_lexA_Rsequence_Ri_0.800.gff3");
    EXPECT_EQ(resultsPath(table, ResultFormat::Csv), table);
    EXPECT_EQ(
        collectionOutputNames(table, {ResultFormat::Tsv}, naming.reportPrefix(), true),
        (std::vector<std::string>{
            "out/ecoli_lexA_Rsequence_Ri_0.800.tsv", "out/ecoli_lexA_freq_table.csv",
            "out/ecoli_lexA_site_collection_log.txt", "out/ecoli_lexA__motif_score_log.csv"}));
    EXPECT_EQ(sharedOutputNames(naming.runBaseName(), false),
              std::vector<std::string>{"out/ecoli.log"});
    EXPECT_EQ(sharedOutputNames(naming.runBaseName(), true).back(), "out/ecoli_gene_log.csv");
    for (const ResultFormat format :
         {ResultFormat::Csv, ResultFormat::Tsv, ResultFormat::Bed, ResultFormat::Gff3}) {
        ResultFormat named = ResultFormat::Csv;
        EXPECT_TRUE(formatNamed(formatExtension(format), named));
        EXPECT_EQ(named, format);
    }
    ResultFormat unknown;
    EXPECT_FALSE(formatNamed("xlsx", unknown));
}

// The regulon table read back: lists split where the writer joined them, a
// separator inside an item and control characters (before and after the
// first 16 bytes of a field) turned to '/' and blanks, numbers as written.
TEST(ResultSchema, RegulonTableReadsBackWhatItsWriterWrote) {
    RegulonTable table;
    table.context.motifId = "crp";
    RegulonRow plain;
    plain.operon = 2;
    plain.record = "chr1";
    plain.locusTags = {"b0001", "b0002"};
    plain.geneNames = {"thrL", ""};
    plain.products = {"thr operon leader peptide", "aspartokinase I"};
    plain.windows = 898;
    plain.hasBest = true;
    plain.bestStart = 120;
    plain.bestEnd = 138;
    plain.bestScore = 12.5;
    plain.bestPValue = 1.5e-6;
    plain.bestSite = "TGTGAGTTAGCTCACTCAT";
    plain.log10BayesFactor = 2.25;
    plain.posterior = 0.75;
    RegulonRow odd = plain;
    odd.operon = 1;
    odd.record = "chr\t2";
    odd.products = {"a|b", "twenty bytes, then\ta tab|bar", "line\nend"};
    odd.hasBest = false;
    table.rows = {plain, odd};
    std::ostringstream text;
    StreamSink sink(text, "table");
    writeRegulonTables({&table}, sink);
    std::istringstream in(text.str());
    const ReadRegulonTable read = parseRegulonTable(in);
    ASSERT_EQ(read.rows.size(), 2u);
    const RegulonRow& first = read.rows[0].row;
    EXPECT_EQ(read.rows[0].motifId, "crp");
    EXPECT_EQ(first.locusTags, plain.locusTags);
    EXPECT_EQ(first.geneNames, plain.geneNames);
    EXPECT_EQ(first.products, plain.products);
    EXPECT_EQ(first.bestSite, plain.bestSite);
    EXPECT_EQ(first.bestPValue, 1.5e-6);
    EXPECT_EQ(first.posterior, 0.75);
    const RegulonRow& second = read.rows[1].row;
    EXPECT_EQ(second.record, "chr 2");
    EXPECT_EQ(second.products,
              (std::vector<std::string>{"a/b", "twenty bytes, then a tab/bar", "line end"}));
    EXPECT_FALSE(second.hasBest);
}

}  // namespace
}  // namespace xoprex
