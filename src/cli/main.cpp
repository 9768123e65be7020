// xoprex: command-line front end over the core library.
//   xoprex search --sequence FILE --collection FILE [--options FILE] [--out-dir DIR]
//   xoprex options --write-defaults FILE
//   xoprex merge IN [OUT]
// Exit status: 0 on success, 2 on invalid input (the message is also in
// "OprexLog.txt" for search errors), 1 on usage errors.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "base/errors.h"
#include "base/file_names.h"
#include "cli/heap_restart.h"
#include "merge/merge.h"
#include "options/options_file.h"
#include "pipeline/run_search.h"

namespace {

constexpr int kInputError = 2;

struct SearchArgs {
    std::string sequence;
    std::string collection;
    std::string options = "Options.txt";
    std::string outDir;
    unsigned threads = 0;
};

int runSearchCommand(const SearchArgs& args) {
    if (!args.outDir.empty() && !std::filesystem::is_directory(args.outDir)) {
        std::cerr << "xoprex: output folder " << args.outDir << " does not exist\n";
        return kInputError;
    }
    xoprex::SearchInputs inputs;
    inputs.sequencePath = args.sequence;
    inputs.collectionPath = args.collection;
    inputs.optionsPath = args.options;
    inputs.outputFolder = xoprex::withTrailingSeparator(args.outDir);
    inputs.sequenceTitle = xoprex::fileTitle(args.sequence);
    inputs.collectionTitle = xoprex::fileTitle(args.collection);
    inputs.threads = args.threads;
    const std::string results = xoprex::runSearch(inputs);
    if (!std::filesystem::exists(results)) {
        std::cerr << "xoprex: the results table " << results << " could not be written\n";
        return kInputError;
    }
    std::cout << "Results table: " << results << '\n';
    return 0;
}

int runOptionsCommand(const std::string& path) {
    try {
        xoprex::writeOptionsFile(path, xoprex::factoryDefaults());
    } catch (const xoprex::OutputError& error) {
        std::cerr << "xoprex: " << error.what() << '\n';
        return kInputError;
    }
    std::cout << "Factory default options written to " << path << '\n';
    return 0;
}

int runMergeCommand(const std::string& input, std::string output) {
    if (output.empty()) {
        output = xoprex::defaultMergeOutput(input);
    }
    try {
        xoprex::mergeGenBankFile(input, output);
    } catch (const std::runtime_error& error) {
        std::cerr << "xoprex: merge failed: " << error.what() << '\n';
        return kInputError;
    }
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
    searchCmd->add_option("--threads", search.threads, "Worker threads (default: all cores)");

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
    CLI11_PARSE(app, argc, argv);

    try {
        if (*searchCmd) {
            restartWithHugePageHeap(argv);
            return runSearchCommand(search);
        }
        if (*optionsCmd) {
            return runOptionsCommand(defaultsPath);
        }
        return runMergeCommand(mergeIn, mergeOut);
    } catch (const xoprex::InputError& error) {
        xoprex::reportFatal(error);  // the message on stdout and in OprexLog.txt
        return kInputError;
    }
}
