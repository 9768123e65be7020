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

TEST(SharedText, HitsKeepTheirOwnTexts) {
    SiteHit hit(19);
    EXPECT_EQ(hit.type, "Unknown");
    hit.type = "Operator";
    hit.product = std::string("transcriptional regulator");
    SiteHit copy = hit;
    copy.product = "Unavailable";
    copy.reset();
    EXPECT_EQ(copy.type, "Unknown");
    EXPECT_TRUE(copy.product.empty());
    EXPECT_EQ(hit.type, "Operator");
    EXPECT_EQ(hit.product, "transcriptional regulator");
    for (int i = 0; i < 3; ++i) {
        SharedText copyOfFixed = unknownSiteType();
        copyOfFixed = SharedText();
    }
    EXPECT_EQ(unknownSiteType(), "Unknown");
    EXPECT_EQ(SiteHit(19).type.data(), unknownSiteType().data());
}

}  // namespace
}  // namespace xoprex
