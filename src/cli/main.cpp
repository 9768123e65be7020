// xoprex: command-line front end over the core library.
//   xoprex search --sequence FILE --collection FILE [--options FILE] [--out-dir DIR]
//   xoprex options --write-defaults FILE
//   xoprex merge IN [OUT]
// Exit status: 0 on success, 1 on usage errors, 2 on invalid input (the
// message also in "OprexLog.txt"), 3 when the system failed (memory, disk,
// writes; the message also in "OprexLog.txt").
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "base/errors.h"
#include "base/file_names.h"
#include "base/run_log.h"
#include "cli/heap_restart.h"
#include "merge/merge.h"
#include "options/options_file.h"
#include "pipeline/run_search.h"

namespace {

constexpr int kUsageError = 1;
constexpr int kInputError = 2;
constexpr int kSystemError = 3;
// More threads than any machine this runs on has cores; a larger request is
// a mistake.
constexpr unsigned kMaxThreads = 1024;

struct SearchArgs {
    std::string sequence;
    std::string collection;
    std::string options = "Options.txt";
    std::string outDir;
    unsigned threads = 0;
};

// The files of the command that "OprexLog.txt" must never replace.
std::vector<std::string> inputsOfTheRun;

// Writes the message lines to "OprexLog.txt" in the current folder (unless
// that file is one of the run's inputs) and to standard output.
void reportFailure(const std::vector<std::string>& lines) {
    for (const std::string& input : inputsOfTheRun) {
        if (xoprex::sameFile(input, "OprexLog.txt")) {
            for (const std::string& line : lines) {
                std::cout << line << '\n';
            }
            std::cout.flush();
            return;
        }
    }
    xoprex::RunLog log("OprexLog.txt");
    for (const std::string& line : lines) {
        log.writeLine(line);
    }
}

int runSearchCommand(const SearchArgs& args) {
    inputsOfTheRun = {args.sequence, args.collection, args.options};
    if (!args.outDir.empty()) {
        std::error_code error;
        if (!std::filesystem::is_directory(args.outDir, error)) {
            std::cerr << "xoprex: output folder " << args.outDir
                      << (error ? ": " + error.message() : std::string(" does not exist")) << '\n';
            return kInputError;
        }
    }
    xoprex::SearchInputs inputs;
    inputs.sequencePath = args.sequence;
    inputs.collectionPath = args.collection;
    inputs.optionsPath = args.options;
    inputs.outputFolder = xoprex::withTrailingSeparator(args.outDir);
    inputs.sequenceTitle = xoprex::fileTitle(args.sequence);
    inputs.collectionTitle = xoprex::fileTitle(args.collection);
    inputs.threads = args.threads;
    xoprex::SearchControl control;
    control.onWarning = [](const std::string& warning) {
        std::cerr << "xoprex: warning: " << warning << '\n';
    };
    const std::string results = xoprex::runSearch(inputs, control);
    std::cout << "Results table: " << results << '\n';
    return 0;
}

int runOptionsCommand(const std::string& path) {
    xoprex::writeOptionsFile(path, xoprex::factoryDefaults());
    std::cout << "Factory default options written to " << path << '\n';
    return 0;
}

int runMergeCommand(const std::string& input, std::string output) {
    inputsOfTheRun = {input};
    if (output.empty()) {
        output = xoprex::defaultMergeOutput(input);
    }
    xoprex::mergeGenBankFile(input, output);
    std::cout << "Merged file: " << output << '\n';
    return 0;
}

bool asksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "/?") {
            return true;
        }
    }
    return false;
}

// Runs `command`; every failure ends in a one-line message and its status.
template <class Command>
int guarded(Command command) {
    try {
        return command();
    } catch (const xoprex::InputError& error) {
        reportFailure(error.lines());
        return kInputError;
    } catch (const xoprex::OutputError& error) {
        reportFailure({error.what()});
        return kSystemError;
    } catch (const std::bad_alloc&) {
        reportFailure({"Out of memory"});
        return kSystemError;
    } catch (const std::exception& error) {
        reportFailure({std::string("The system failed: ") + error.what()});
        return kSystemError;
    } catch (...) {
        reportFailure({"The system failed"});
        return kSystemError;
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"XOprex: finds the binding sites of one transcription factor in a genome."};
    app.require_subcommand(1);

    SearchArgs search;
    CLI::App* searchCmd = app.add_subcommand("search", "Search a target for binding sites");
    searchCmd->add_option("--sequence", search.sequence, "Target file (.gbk, .gb, .fas, .fna)")
        ->required();
    searchCmd->add_option("--collection", search.collection, "Site collection (.txt, .fas, .fna)")
        ->required();
    searchCmd->add_option("--options", search.options,
                          "Options file (default: Options.txt in the current folder)");
    searchCmd->add_option("--out-dir", search.outDir,
                          "Folder for the results and logs (default: current folder)");
    searchCmd
        ->add_option("--threads", search.threads, "Worker threads, up to 1024 (default: all cores)")
        ->check(CLI::Range(0u, kMaxThreads));

    std::string defaultsPath;
    CLI::App* optionsCmd = app.add_subcommand("options", "Write an options file");
    optionsCmd->add_option("--write-defaults", defaultsPath, "Write the factory defaults to FILE")
        ->required();

    std::string mergeIn;
    std::string mergeOut;
    CLI::App* mergeCmd = app.add_subcommand("merge", "Join a multi-record GenBank file");
    mergeCmd->add_option("IN", mergeIn, "Multi-record GenBank file")->required();
    mergeCmd->add_option("OUT", mergeOut, "Output (default: Merged_<title>.gbk beside IN)");

    if (asksForHelp(argc, argv)) {
        std::cout << app.help();
        return 0;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : kUsageError;
    }

    return guarded([&] {
        if (*searchCmd) {
            restartWithHugePageHeap(argv);
            return runSearchCommand(search);
        }
        if (*optionsCmd) {
            return runOptionsCommand(defaultsPath);
        }
        return runMergeCommand(mergeIn, mergeOut);
    });
}
