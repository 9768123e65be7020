// The run's HTML report as a search writes it: one well-formed page whose
// pictures are well-formed SVG, holding what the run found and nothing that
// reaches outside the file; a report that would replace an input, or has
// no folder to go to, is refused before anything is written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/errors.h"
#include "base/number_format.h"
#include "pipeline/run_search.h"
#include "temp_dir.h"

namespace xoprex {
namespace {

using testing::readFile;
using testing::TempDir;

const std::string kExamples = XOPREX_EXAMPLES;

SearchInputs crpSearch(const TempDir& dir) {
    SearchInputs inputs;
    inputs.sequencePath = kExamples + "/pPCP1.gbk";
    inputs.collections = {{kExamples + "/crp_sites.txt", "crp_sites"}};
    inputs.optionsSource = OptionsSource::Factory;
    inputs.optionSettings = {{1, 0.0}};  // no logs
    inputs.outputFolder = dir.path().string() + "/";
    inputs.sequenceTitle = "pPCP1";
    inputs.pValue = 1e-3;
    inputs.reportPath = dir.file("report.html");
    return inputs;
}

// Python's HTML parser finds every element closed in order (void elements
// aside) and its XML parser reads every <svg> element; skipped without
// python3.
void expectWellFormed(const std::string& path) {
    if (!std::filesystem::exists("/usr/bin/python3")) {
        GTEST_SKIP() << "no /usr/bin/python3";
    }
    const std::string script = R"(
import re, sys, xml.etree.ElementTree as ET
from html.parser import HTMLParser
text = open(sys.argv[1], encoding="utf-8").read()
void = {"meta", "br", "hr", "img", "input", "link", "wbr", "col"}
class Check(HTMLParser):
    stack = []
    def handle_starttag(self, tag, attrs):
        if tag not in void: self.stack.append(tag)
    def handle_startendtag(self, tag, attrs): pass
    def handle_endtag(self, tag):
        if not self.stack or self.stack.pop() != tag: sys.exit("misplaced </%s>" % tag)
check = Check(); check.feed(text); check.close()
if check.stack: sys.exit("left open: %s" % check.stack)
for svg in re.findall(r"<svg.*?</svg>", text, re.S): ET.fromstring(svg)
)";
    const std::string scriptPath = path + ".py";
    std::ofstream(scriptPath) << script;
    EXPECT_EQ(std::system(("/usr/bin/python3 " + scriptPath + " " + path).c_str()), 0);
}

TEST(RunReport, SearchWritesOneSelfContainedPageOfWhatItFound) {
    const TempDir dir;
    SearchInputs inputs = crpSearch(dir);
    SearchControl control;
    control.logEcho = nullptr;
    SearchControl::Summary summary;
    control.onSummary = [&summary](const SearchControl::Summary& s) { summary = s; };
    runSearch(inputs, control);
    const std::string html = readFile(inputs.reportPath);
    ASSERT_FALSE(html.empty());
    ASSERT_GT(summary.found, 0u);

    EXPECT_NE(html.find("<b>Found</b> " + std::to_string(summary.found)), std::string::npos);
    EXPECT_NE(html.find("<b>Cut-off</b> " + formatFixed(summary.cutOff, 3)), std::string::npos);
    // Logo, self-scores and map; the map of a GenBank record shows its genes.
    size_t svgs = 0;
    for (size_t at = html.find("<svg"); at != std::string::npos; at = html.find("<svg", at + 1)) {
        ++svgs;
    }
    EXPECT_EQ(svgs, 3u);
    EXPECT_NE(html.find("<polygon"), std::string::npos);
    // The top-hits table: one row per hit here (fewer than 200).
    const size_t table = html.find("<th>rank</th>");
    ASSERT_NE(table, std::string::npos);
    size_t rows = 0;
    for (size_t at = html.find("<tr>", table); at != std::string::npos;
         at = html.find("<tr>", at + 1)) {
        ++rows;
    }
    EXPECT_EQ(rows, summary.found);
    // Nothing outside the file.
    for (const char* outside : {"http:", "https:", "<link", "src=", "url(", "@import"}) {
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    }
    expectWellFormed(inputs.reportPath);
}

TEST(RunReport, AReportThatCouldNotBeWrittenIsRefusedBeforeAnythingIsWritten) {
    const TempDir dir;
    dir.write("sites.txt", readFile(kExamples + "/crp_sites.txt"));
    SearchInputs inputs = crpSearch(dir);
    inputs.collections = {{dir.file("sites.txt"), "sites"}};
    inputs.reportPath = dir.file("sites.txt");
    SearchControl control;
    control.logEcho = nullptr;
    EXPECT_THROW(runSearch(inputs, control), InputError);
    EXPECT_EQ(readFile(dir.file("sites.txt")), readFile(kExamples + "/crp_sites.txt"));
    inputs.reportPath = dir.file("no/such/folder/report.html");
    EXPECT_THROW(runSearch(inputs, control), InputError);
    EXPECT_FALSE(std::filesystem::exists(dir.file("pPCP1.log")));
}

}  // namespace
}  // namespace xoprex
