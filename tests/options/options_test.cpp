#include "options/options.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/errors.h"
#include "options/option_table.h"
#include "options/options_file.h"
#include "temp_dir.h"

using namespace xoprex;
using xoprex::testing::readFile;
using xoprex::testing::TempDir;

namespace {

// Sixteen value lines in the program's layout with the given values.
std::string fileWithValues(const std::vector<std::string>& values) {
    std::string text = " OPTIONS:\n";
    for (size_t k = 0; k < values.size(); ++k) {
        text += "- " + std::to_string(k + 1) + " - description\n\n$" + values[k] + "\n\n";
    }
    return text;
}

}  // namespace

TEST(ScoringMethodTable, LabelsAndDirection) {
    EXPECT_EQ(methodLabel(10), "Oprex_HI");
    EXPECT_EQ(methodLabel(2), "BvH HI");
    EXPECT_EQ(methodLabel(0), "???");
    EXPECT_EQ(methodLabel(12), "???");
    EXPECT_EQ(methodLabel(-1), "???");
    for (int m = -1; m <= 13; ++m) {
        EXPECT_EQ(lowerIsBetter(m), m == 2 || m == 3) << m;
    }
    EXPECT_EQ(formLabelToNumber("Heterology index (HI)", "1"), "2");
    EXPECT_EQ(numberToFormLabel("2"), "Heterology index (HI)");
    EXPECT_EQ(formLabelToNumber("no such label", "7"), "7");
    EXPECT_EQ(numberToFormLabel("12"), "???");
    EXPECT_EQ(numberToFormLabel("0"), "???");
    EXPECT_EQ(std::string(scoringMethods()[10].optionsFileLine),
              "11. Non-weighted differential Rsequence ");
}

TEST(OptionsDefaults, BuiltInValues) {
    Options options;
    options.method = 9;
    options.cutOff = 3.5;
    applyBuiltInDefaults(options);
    EXPECT_EQ(options.method, 5);
    EXPECT_EQ(options.cutOff, 3.5);  // untouched
    EXPECT_EQ(options.threshold, static_cast<double>(0.8f));
    EXPECT_NE(options.threshold, 0.8);
    EXPECT_FALSE(options.sortByScore);
    EXPECT_TRUE(options.removeRedundant);
    EXPECT_EQ(options.upFar, -500);
    EXPECT_EQ(options.downFar, 500);
    EXPECT_EQ(options.rescoreMethod, 1);
}

TEST(OptionsRunReader, ConvertsLeadingNumbers) {
    std::istringstream in(fileWithValues({"1 ", "2", "0", "0,8", "350abc", "x", "1 and more", "2",
                                          "", "1", "-10", "-1", "+1", "10", ".5", "3"}));
    Options options;
    EXPECT_EQ(readOptionValues(options, in), 16);
    EXPECT_TRUE(options.logResults);  // "1 " is on for the run
    EXPECT_EQ(options.method, 2);
    EXPECT_EQ(options.threshold, 0.0);  // "0,8" reads as 0
    EXPECT_EQ(options.promoterDistance, 350);
    EXPECT_EQ(options.inGeneDistance, 0);
    EXPECT_TRUE(options.sortByScore);
    EXPECT_FALSE(options.removeRedundant);  // 2 is not 1
    EXPECT_FALSE(options.literalCutOff);    // "$" alone: off
    EXPECT_EQ(options.upFar, -10);
    EXPECT_EQ(options.downNear, 1);
    EXPECT_EQ(options.relaxation, 0.5);
    EXPECT_EQ(options.rescoreMethod, 3);
}

TEST(OptionsRunReader, RealNumberForms) {
    const std::vector<std::pair<std::string, double>> cases = {
        {"0.8", 0.8}, {"1e-3", 1e-3}, {".5", 0.5},  {" -2.5E+1x", -25.0}, {"1.5", 1.5},
        {"x", 0.0},   {"1e", 1.0},    {"inf", 0.0}, {"0x10", 0.0}};
    for (const auto& [text, expected] : cases) {
        std::vector<std::string> values(16, "0");
        values[3] = text;
        std::istringstream in(fileWithValues(values));
        Options options;
        readOptionValues(options, in);
        EXPECT_EQ(options.threshold, expected) << text;
    }
}

// The reading's log lines: the defaults, the file, and the defaults again
// with a warning when the file is missing or short.
TEST(OptionsRunReader, CountsValuesAndFallsBack) {
    TempDir dir;
    Options options;
    const std::vector<std::string> fallBack = {
        "Setting options to default...",
        "WARNING: options not read or read incorrectly. Running on default options."};
    const auto linesOf = [](std::vector<std::string> first, const std::vector<std::string>& more) {
        first.insert(first.end(), more.begin(), more.end());
        return first;
    };
    dir.write("fifteen.txt", fileWithValues(std::vector<std::string>(15, "1")));
    const OptionsReading fifteen = readOptionValuesFile(options, dir.file("fifteen.txt"));
    EXPECT_FALSE(fifteen.complete());
    EXPECT_EQ(fifteen.values, 15);
    EXPECT_EQ(optionsReadingLines(fifteen),
              linesOf({"Setting options to default...", "Reading options..."}, fallBack));
    dir.write("seventeen.txt", fileWithValues(std::vector<std::string>(17, "1")));
    const OptionsReading seventeen = readOptionValuesFile(options, dir.file("seventeen.txt"));
    EXPECT_TRUE(seventeen.complete());
    EXPECT_EQ(optionsReadingLines(seventeen),
              (std::vector<std::string>{"Setting options to default...", "Reading options...",
                                        "Options read!"}));
    const OptionsReading missing = readOptionValuesFile(options, dir.file("missing.txt"));
    EXPECT_FALSE(missing.opened);
    EXPECT_EQ(optionsReadingLines(missing),
              linesOf({"Setting options to default...", "Reading options...",
                       "Options file could not be opened"},
                      fallBack));
}

TEST(OptionsRunReader, DollarInDescriptionShiftsValues) {
    std::string text = fileWithValues({"1", "7"});
    text.insert(0, "cost in $ per run\n");
    std::istringstream in(text);
    Options options;
    EXPECT_EQ(readOptionValues(options, in), 3);
    EXPECT_EQ(options.method, 1);  // option 2 received the first value
}

TEST(OptionsFileWriter, ExactLayoutRoundTrips) {
    const std::string text = optionsFileText(factoryDefaults());
    EXPECT_EQ(text.substr(0, 49), " OPTIONS:\n- 1 - Log results (1 - yes, 0 - no)\n\n$1");
    EXPECT_NE(text.find("$1\n\n- 2 - Method (1-8, see manual for details)\n1. Information"),
              std::string::npos);
    EXPECT_NE(text.find("11. Non-weighted differential Rsequence \n\n$1\n\n- 3 - Background "
                        "entropy  (0 - assumed"),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 65),
              "- 16 - Method to re-score sites with integrative factor (1-3)\n\n$2");

    Options options;
    std::istringstream in(text);
    EXPECT_EQ(readOptionValues(options, in), 16);
    EXPECT_EQ(options.method, 1);
    EXPECT_TRUE(options.sortByScore);
    EXPECT_EQ(options.threshold, 0.8);
    EXPECT_EQ(options.upFar, -200);
    EXPECT_EQ(options.downFar, 850);
    EXPECT_EQ(options.rescoreMethod, 2);

    std::istringstream withLineEnd(text + "\r\n");
    EXPECT_EQ(readOptionValues(options, withLineEnd), 16);
}

TEST(OptionsFormLoader, ExactSwitchesAndStopAtEmptyValue) {
    OptionTexts texts = factoryDefaults();
    texts.logResults = false;
    std::istringstream in(fileWithValues({"1 ", "2", "1", "0.9", "200", "", "0"}));
    EXPECT_EQ(loadOptionTexts(in, texts), 5);
    EXPECT_FALSE(texts.logResults);  // "1 " is not exactly "1"
    EXPECT_EQ(texts.methodNumber, "2");
    EXPECT_TRUE(texts.computeBackground);
    EXPECT_EQ(texts.threshold, "0.9");
    EXPECT_EQ(texts.promoterDistance, "200");
    EXPECT_TRUE(texts.sortByScore);  // after the empty value nothing changes
}

TEST(OptionsFormLoader, CrLfFileAndWriterRoundTrip) {
    TempDir dir;
    OptionTexts written = factoryDefaults();
    written.methodNumber = "10";
    written.threshold = "0.95";
    written.integrative = true;
    writeOptionsFile(dir.file("Options.txt"), written);
    std::string crlf;
    for (char c : readFile(dir.file("Options.txt"))) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    dir.write("crlf.txt", crlf);
    OptionTexts loaded;
    loadOptionTextsFile(dir.file("crlf.txt"), loaded);
    EXPECT_EQ(loaded.methodNumber, "10");
    EXPECT_EQ(loaded.threshold, "0.95");
    EXPECT_TRUE(loaded.integrative);
    EXPECT_THROW(loadOptionTextsFile(dir.file("none.txt"), loaded), InputError);
    EXPECT_THROW(writeOptionsFile(dir.file("no/such/folder/Options.txt"), written), OutputError);
}

// Every option is held by exactly one field of each record, and a value
// written by the form reaches the run's field through the file.
TEST(OptionTable, EveryOptionRoundTripsFromFormToRun) {
    for (int number = 1; number <= kOptionCount; ++number) {
        const OptionEntry& entry = optionEntry(number);
        EXPECT_EQ(entry.number, number);
        const int runFields = (entry.switchField != nullptr) + (entry.integerField != nullptr) +
                              (entry.realField != nullptr);
        EXPECT_EQ(runFields, 1) << number;
        EXPECT_EQ((entry.switchText != nullptr) + (entry.text != nullptr), 1) << number;
        EXPECT_EQ(entry.kind == OptionKind::Switch, entry.switchField != nullptr) << number;
        EXPECT_LE(entry.minimum, entry.builtIn) << number;
        EXPECT_GE(entry.maximum, entry.builtIn) << number;

        OptionTexts texts;
        if (entry.kind == OptionKind::Switch) {
            texts.*entry.switchText = !(texts.*entry.switchText);
        } else {
            texts.*entry.text = "3";
        }
        Options options;
        std::istringstream in(optionsFileText(texts));
        ASSERT_EQ(readOptionValues(options, in), kOptionCount);
        const double expected =
            entry.kind == OptionKind::Switch ? (texts.*entry.switchText ? 1.0 : 0.0) : 3.0;
        EXPECT_EQ(optionValue(options, number), expected) << number;
    }
}
