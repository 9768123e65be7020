// What the results say, checked from outside as a user reads them: searches
// that must run, counts that must agree, and the words on standard error for
// every choice the program makes on its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "temp_dir.h"

namespace {

using xoprex::testing::readFile;
using xoprex::testing::TempDir;

const std::string kXoprex = XOPREX_CLI;

int run(const std::string& command) {
    return WEXITSTATUS(std::system(command.c_str()));
}

// The target's own composition counts nothing for gaps, U, digits and the
// three-base codes' missing share: its background sums below 1, which the
// scores keep and the p-values scale to 1.
TEST(Trust, CompositionBackgroundBelowOneStillSearches) {
    TempDir dir;
    dir.write("c.txt", "TGCA\nTGCT\nAGCA\n");
    for (const char* text :
         {"ACGTTGCATG-TCGCAGATGACGTAGCTAGC", "ACGTUGCATGBTCGC1GATGACGTAGCDAGC"}) {
        dir.write("t.fna", std::string(">r\n") + text + "\n");
        EXPECT_EQ(run(kXoprex + " search --sequence t.fna --collection c.txt --background genome "
                                "--format csv,tsv --quiet 2> err.txt"),
                  0)
            << readFile("err.txt");
        EXPECT_NE(readFile("t_c_Ri_0.800.tsv").find("\nr\t"), std::string::npos) << text;
        EXPECT_NE(readFile("t_c_Ri_0.800.csv").find("A priori H,"), std::string::npos);
    }
}

}  // namespace
