// A merged file read back by the GenBank reader: one record holding both
// records' sequences, with the second record's genes moved by the first
// record's length.
#include <gtest/gtest.h>

#include <string>

#include "merge/merge.h"
#include "merge_test_support.h"
#include "seqio/sequence.h"

namespace xoprex {
namespace {

using MergeRoundTrip = testing::MergeFolder;
using testing::mergeFailure;

TEST_F(MergeRoundTrip, RecordTwiceReadsBackAsOneShiftedRecord) {
    const std::string example = std::string(XOPREX_EXAMPLES) + "/pPCP1.gbk";
    const std::string text = read(example);
    ASSERT_FALSE(text.empty());
    const std::string input = write("twice.gbk", text + text);
    const std::string output = path("merged.gbk");
    ASSERT_EQ(mergeFailure(input, output), "");

    const SequenceSet original = readSequences(example);
    const SequenceSet merged = readSequences(output);
    ASSERT_EQ(original.records.size(), 1u);
    ASSERT_EQ(merged.records.size(), 1u);
    const SequenceRecord& one = original.records[0];
    const SequenceRecord& joined = merged.records[0];

    ASSERT_EQ(one.sequence.size(), 9609u);
    EXPECT_EQ(joined.sequence.size(), 19218u);
    EXPECT_EQ(joined.sequence, one.sequence + one.sequence);
    EXPECT_EQ(joined.description, one.description);
    EXPECT_EQ(joined.format, 'G');

    ASSERT_EQ(one.genes.size(), 10u);
    ASSERT_EQ(joined.genes.size(), 20u);
    for (size_t i = 0; i < 10; ++i) {
        const GeneRecord& gene = one.genes[i];
        for (size_t copy = 0; copy < 2; ++copy) {
            const GeneRecord& moved = joined.genes[i + copy * 10];
            const int32_t shift = copy == 0 ? 0 : 9609;
            SCOPED_TRACE("gene " + std::to_string(i) + " copy " + std::to_string(copy));
            EXPECT_NE(gene.begin, 0);
            EXPECT_EQ(moved.begin, gene.begin + shift);
            EXPECT_EQ(moved.end, gene.end + shift);
            EXPECT_EQ(moved.sense, gene.sense);
            EXPECT_EQ(moved.locus, gene.locus);
            EXPECT_EQ(moved.gene, gene.gene);
            EXPECT_EQ(moved.product, gene.product);
        }
    }
}

}  // namespace
}  // namespace xoprex
