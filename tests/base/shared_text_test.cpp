// Shared texts behave as values owned by each record holding them: copies
// read the same characters, assigning one leaves the others as they were,
// and the fixed texts survive every copy and assignment.
#include "base/shared_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/records.h"

namespace xoprex {
namespace {

TEST(SharedText, CopiesAreIndependentValues) {
    SharedText original(std::string("cAMP receptor protein"));
    SharedText copy = original;
    EXPECT_EQ(copy, "cAMP receptor protein");
    EXPECT_EQ(copy.data(), original.data());  // one block, not a second one
    copy = "crp";
    EXPECT_EQ(original, "cAMP receptor protein");
    EXPECT_EQ(copy, "crp");
    SharedText moved = std::move(original);
    EXPECT_EQ(moved, "cAMP receptor protein");
    {
        std::vector<SharedText> many(1000, moved);  // the last copy out frees the block
        EXPECT_EQ(many.back(), "cAMP receptor protein");
    }
    EXPECT_EQ(moved.size(), 21u);
    SharedText empty;
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(empty, "");
    EXPECT_EQ(SharedText(""), empty);
    std::ostringstream printed;
    printed << moved << '|' << empty;
    EXPECT_EQ(printed.str(), "cAMP receptor protein|");
    std::string line = "Gene,";
    line += moved;
    EXPECT_EQ(line, "Gene,cAMP receptor protein");
}

// A hit holds its site inside (short texts) or shares it (long ones), and
// shares its gene with the hits related to the same gene; each hit still
// behaves as the owner of its values.
TEST(SharedText, HitsKeepTheirOwnTexts) {
    SiteHit hit(19);
    EXPECT_EQ(hit.type(), "Unknown");
    EXPECT_TRUE(hit.product().empty());
    hit.siteClass = SiteClass::Operator;
    hit.gene = HitGene({"YP_01", "crp", "transcriptional regulator", 5, 900, true});
    hit.site = "TGTGAGCTAGATCACATTT";
    SiteHit copy = hit;
    EXPECT_EQ(copy.product().data(), hit.product().data());  // one gene block
    copy.gene = HitGene({"", "", "Unavailable", 0, 0, false});
    copy.site = std::string(40, 'A');  // longer than the room inside
    SiteHit longCopy = copy;
    EXPECT_EQ(longCopy.site.data(), copy.site.data());  // one shared block
    copy.reset();
    EXPECT_EQ(copy.type(), "Unknown");
    EXPECT_TRUE(copy.product().empty());
    EXPECT_TRUE(copy.site.empty());
    EXPECT_EQ(longCopy.site, std::string(40, 'A'));
    EXPECT_EQ(hit.type(), "Operator");
    EXPECT_EQ(hit.product(), "transcriptional regulator");
    EXPECT_EQ(hit.geneStart(), 5u);
    EXPECT_TRUE(hit.geneStrand());
    EXPECT_EQ(hit.site, "TGTGAGCTAGATCACATTT");
    std::vector<SiteHit> many(1000, longCopy);  // the last copy out frees the blocks
    many.clear();
    EXPECT_EQ(longCopy.site.size(), 40u);
}

}  // namespace
}  // namespace xoprex
