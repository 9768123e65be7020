#include "base/run_log.h"

#include <gtest/gtest.h>

#include <thread>

#include "base/errors.h"
#include "temp_dir.h"

using xoprex::InputError;
using xoprex::InputProblem;
using xoprex::RunLog;
using xoprex::testing::readFile;
using xoprex::testing::TempDir;

TEST(RunLog, WritesLinesValuesAndJoinedTextsToFileAndStdout) {
    TempDir dir;
    std::vector<std::string> seen;
    {
        RunLog log(dir.file("run.log"));
        log.setObserver([&seen](const std::string& line) { seen.push_back(line); });
        testing::internal::CaptureStdout();
        log.writeLine(" ");
        log.writeValue("Analyzing sequence: ", 3);
        log.writeValue("Time (s): ", 37.0);
        log.writeValue("t=", 0.8);
        log.writeJoined("Saving results to ", "x.csv");
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  " \nAnalyzing sequence: 3\nTime (s): 37\nt=0.8\nSaving results to x.csv\n");
    }
    EXPECT_EQ(readFile(dir.file("run.log")),
              " \nAnalyzing sequence: 3\nTime (s): 37\nt=0.8\nSaving results to x.csv\n");
    EXPECT_EQ(seen.size(), 5u);
}

TEST(RunLog, UnopenableFileStillWritesToStdout) {
    TempDir dir;
    RunLog log(dir.file("missing-folder/run.log"));
    testing::internal::CaptureStdout();
    log.writeLine("still here");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "still here\n");
}

TEST(ReportFatal, WritesOprexLogAndStdout) {
    TempDir dir;
    const InputError error(InputProblem::Unreadable, "/no/such.fas",
                           "Incorrect file name: /no/such.fas");
    EXPECT_STREQ(error.what(), "Incorrect file name: /no/such.fas");
    testing::internal::CaptureStdout();
    xoprex::reportFatal(error);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Incorrect file name: /no/such.fas\n");
    EXPECT_EQ(readFile(dir.file("OprexLog.txt")), "Incorrect file name: /no/such.fas\n");
}

TEST(ReportFatal, SecondReportReplacesTheFirst) {
    TempDir dir;
    testing::internal::CaptureStdout();
    const InputError twoLines(
        InputProblem::Extension, "x.abc",
        std::vector<std::string>{"Incorrect sequence file extension.", "Type Oprex /? for help."});
    EXPECT_STREQ(twoLines.what(), "Incorrect sequence file extension.\nType Oprex /? for help.");
    xoprex::reportFatal(twoLines);
    EXPECT_EQ(readFile(dir.file("OprexLog.txt")),
              "Incorrect sequence file extension.\nType Oprex /? for help.\n");
    xoprex::reportFatal(
        InputError(InputProblem::Format, "x.fas", "No sequence read. Please check FASTA file!"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(readFile(dir.file("OprexLog.txt")), "No sequence read. Please check FASTA file!\n");
}

TEST(RunLog, BatchedLinesReachTheFileByTheIntervalOrTheEnd) {
    TempDir dir;
    const std::string path = dir.file("batched.log");
    testing::internal::CaptureStdout();
    {
        RunLog log(path);
        log.writeLine("first");
        EXPECT_EQ(readFile(path), "first\n");  // every line is flushed by default
        log.setFlushInterval(std::chrono::milliseconds(60000));
        log.writeLine("held back");
        log.flushIfStale();
        EXPECT_EQ(readFile(path), "first\n");
        log.setFlushInterval(std::chrono::milliseconds(1));
        EXPECT_EQ(readFile(path), "first\nheld back\n");  // changing the interval flushes
        log.writeLine("late");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        log.flushIfStale();
        EXPECT_EQ(readFile(path), "first\nheld back\nlate\n");
        log.setFlushInterval(std::chrono::milliseconds(60000));
        log.writeLine("at the end");
    }
    EXPECT_EQ(readFile(path), "first\nheld back\nlate\nat the end\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "first\nheld back\nlate\nat the end\n");
}
