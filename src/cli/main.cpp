// xoprex: command-line front end over the core library.
//   xoprex search --sequence FILE --collection FILE... [--options FILE] [--out-dir DIR]
//   xoprex regulon (the flags of search) [--annotation FILE.gff3] [--operon-gap N] ...
//   xoprex options --write-defaults FILE
//   xoprex merge IN [OUT]
// Exit status: 0 on success, 1 on usage errors, 2 on invalid input (the
// message also in "OprexLog.txt"), 3 when the system failed (memory, disk,
// writes; the message also in "OprexLog.txt").
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "base/errors.h"
#include "base/file_names.h"
#include "base/number_format.h"
#include "base/run_log.h"
#include "base/version.h"
#include "cli/heap_settings.h"
#include "cli/progress_line.h"
#include "merge/merge.h"
#include "options/option_table.h"
#include "options/options_file.h"
#include "pipeline/run_search.h"
#include "seqio/input_source.h"

namespace {

constexpr int kUsageError = 1;
constexpr int kInputError = 2;
constexpr int kSystemError = 3;
// More threads than any machine this runs on has cores; a larger request is
// a mistake.
constexpr unsigned kMaxThreads = 1024;

struct SearchArgs {
    std::string sequence;
    std::vector<std::string> collections;  // --collection, in order
    std::string collectionList;            // --collections
    std::vector<std::string> motifs;       // --motifs
    std::string options;  // empty: Options.txt here if there is one, else the factory defaults
    std::string outDir;
    unsigned threads = 0;
    std::vector<xoprex::OptionSetting> settings;
    std::vector<std::string> formats = {"csv"};
    std::string standardOutput;  // a format, or empty
    std::string commandLine;
    std::optional<double> pValue;
    bool allRecords = false;
    bool quiet = false;
    std::string topology = "circular";
    std::string backgroundFile;
    bool formatGiven = false;
    std::string outTable;
    std::vector<std::string> motifIds;
    std::optional<double> nsites;
    size_t maxStoredHits = 1'000'000;
    uint64_t maxRecordLength = xoprex::InputRules::kDefaultMaxRecordBytes;
    bool skipAmbiguous = false;
    bool pooledQ = false;
    std::string report;  // --report
};

struct RegulonArgs {
    std::string annotation;
    int64_t operonGap = xoprex::kDefaultOperonGap;
    bool noOperons = false;
    std::optional<double> siteDensity;
    double prior = xoprex::kDefaultPrior;
};

// ---- option flags ----------------------------------------------------------

[[noreturn]] void badValue(const std::string& flag, const std::string& text,
                           const std::string& why) {
    throw CLI::ValidationError("--" + flag, "'" + text + "' " + why);
}

// A number of the option's kind within its range.
double flagNumber(const xoprex::OptionEntry& entry, const std::string& text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        badValue(entry.flag, text, "is not a number");
    }
    if (entry.kind == xoprex::OptionKind::Integer && value != std::trunc(value)) {
        badValue(entry.flag, text, "is not a whole number");
    }
    if (value < entry.minimum || value > entry.maximum) {
        std::ostringstream range;
        range << "is outside " << entry.minimum << " to " << entry.maximum;
        badValue(entry.flag, text, range.str());
    }
    return value;
}

// A method's number or short name (in any case).
double methodNumber(const xoprex::OptionEntry& entry, const std::string& text) {
    std::string name = text;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (int m = 0; m < xoprex::kMethodCount; ++m) {
        if (name == xoprex::scoringMethods()[m].shortName) {
            return m + 1;
        }
    }
    return flagNumber(entry, text);
}

std::string methodNames() {
    std::string names;
    for (int m = 0; m < xoprex::kMethodCount; ++m) {
        const xoprex::ScoringMethod& method = xoprex::scoringMethods()[m];
        names += (m == 0 ? "" : ", ") + std::to_string(method.number) + " " + method.shortName;
    }
    return names;
}

// The factory default as the flag shows it.
std::string flagDefault(const xoprex::OptionEntry& entry) {
    const bool on = std::string(entry.factory) == "1";
    switch (entry.flagForm) {
        case xoprex::FlagForm::Choice:
            return on ? entry.onWord : entry.offWord;
        case xoprex::FlagForm::TurnsOn:
        case xoprex::FlagForm::OnOrOff:
            return on ? "on" : "off";
        case xoprex::FlagForm::TurnsOff:
            return on ? "off" : "on";
        case xoprex::FlagForm::Intervals: {
            std::string text = on ? "on" : "off";
            text += ", ";
            for (int number = 11; number <= 14; ++number) {
                text += std::string(number > 11 ? "," : "") + xoprex::optionEntry(number).factory;
            }
            return text;
        }
        default:
            return entry.factory;
    }
}

// One flag (or two, --log and --no-log) per option of the table; each
// records its setting when it is parsed.
void addOptionFlags(CLI::App& command, std::vector<xoprex::OptionSetting>& settings) {
    for (const xoprex::OptionEntry& entry : xoprex::optionTable()) {
        if (entry.flagForm == xoprex::FlagForm::None) {
            continue;
        }
        const std::string flag = std::string("--") + entry.flag;
        const std::string help =
            std::string(entry.flagHelp) + " (default: " + flagDefault(entry) + ")";
        const int number = entry.number;
        const auto set = [&settings, number](double value) { settings.push_back({number, value}); };
        switch (entry.flagForm) {
            case xoprex::FlagForm::Value:
                command
                    .add_option_function<std::string>(
                        flag,
                        [&entry, set](const std::string& text) { set(flagNumber(entry, text)); },
                        help)
                    ->type_name(entry.kind == xoprex::OptionKind::Integer ? "N" : "R");
                break;
            case xoprex::FlagForm::Method:
                command
                    .add_option_function<std::string>(
                        flag,
                        [&entry, set](const std::string& text) { set(methodNumber(entry, text)); },
                        help + "; names: " + methodNames())
                    ->type_name("N|NAME");
                break;
            case xoprex::FlagForm::Choice:
                command
                    .add_option_function<std::string>(
                        flag,
                        [&entry, set](const std::string& text) {
                            set(text == entry.onWord ? 1.0 : 0.0);
                        },
                        help)
                    ->check(CLI::IsMember({std::string(entry.offWord), std::string(entry.onWord)}))
                    ->type_name(std::string(entry.offWord) + "|" + entry.onWord);
                break;
            case xoprex::FlagForm::TurnsOn:
                command.add_flag_callback(
                    flag, [set] { set(1.0); }, help);
                break;
            case xoprex::FlagForm::TurnsOff:
                command.add_flag_callback(
                    flag, [set] { set(0.0); }, help);
                break;
            case xoprex::FlagForm::OnOrOff: {
                CLI::Option* on = command.add_flag_callback(
                    flag, [set] { set(1.0); }, help);
                CLI::Option* off = command.add_flag_callback(
                    std::string("--no-") + entry.flag, [set] { set(0.0); },
                    std::string("do not ") + entry.flagHelp);
                on->excludes(off);
                break;
            }
            case xoprex::FlagForm::Intervals:
                command
                    .add_option_function<std::string>(
                        flag,
                        [&entry, &settings](const std::string& text) {
                            std::vector<double> ends;
                            std::stringstream in(text);
                            for (std::string part; std::getline(in, part, ',');) {
                                ends.push_back(flagNumber(xoprex::optionEntry(11), part));
                            }
                            if (ends.size() != 4) {
                                badValue(entry.flag, text, "is not four numbers X,Y,I,J");
                            }
                            settings.push_back({entry.number, 1.0});
                            for (int k = 0; k < 4; ++k) {
                                settings.push_back({11 + k, ends[static_cast<size_t>(k)]});
                            }
                        },
                        help)
                    ->type_name("X,Y,I,J");
                break;
            case xoprex::FlagForm::None:
                break;
        }
    }
}

// The files of the command that "OprexLog.txt" must never replace.
std::vector<std::string> inputsOfTheRun;

// Where failure messages go besides "OprexLog.txt": standard output, or
// standard error when standard output carries the results.
std::ostream* failureEcho = &std::cout;

// Writes the message lines to "OprexLog.txt" in the current folder (unless
// that file is one of the run's inputs, standard input included) and to
// failureEcho.
void reportFailure(const std::vector<std::string>& lines) {
    xoprex::InputFiles inputs;
    for (const std::string& input : inputsOfTheRun) {
        inputs.add(input);
    }
    if (inputs.replacedBy("OprexLog.txt") != nullptr) {
        for (const std::string& line : lines) {
            *failureEcho << line << '\n';
        }
        failureEcho->flush();
        return;
    }
    xoprex::RunLog log("OprexLog.txt", failureEcho);
    for (const std::string& line : lines) {
        log.writeLine(line);
    }
}

// A number in the general notation of the messages, zero without its sign.
std::string plainGeneral(double value) {
    return xoprex::formatGeneralC(value == 0.0 ? 0.0 : value);
}

// A figure known to about 1%: two significant digits, or the whole number
// from 100 on.
std::string roughFigure(double value) {
    if (value >= 100.0 && value < 1e15) {
        return std::to_string(std::llround(value));
    }
    char text[32];
    return std::string(
        text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, 2).ptr);
}

// The paths of a collection list: one a line, blank lines and lines
// starting with '#' skipped, blanks around a path dropped. An entry that
// cannot be read is refused with its line and the reason.
std::vector<std::string> readCollectionList(const std::string& path) {
    const std::unique_ptr<xoprex::InputSource> source =
        xoprex::InputSource::open(path, xoprex::NameRule::Wide);
    if (source == nullptr) {
        const xoprex::InputError error = xoprex::cannotOpen(path);
        throw xoprex::InputError(
            xoprex::InputProblem::Unreadable, path,
            "Cannot read the collection list " + path + " (" + error.what() + ")");
    }
    const std::string text = source->readAll();
    std::vector<std::string> paths;
    size_t number = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t feed = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, feed - at);
        at = feed + 1;
        ++number;
        const size_t begin = line.find_first_not_of(" \t\r");
        if (begin == std::string::npos || line[begin] == '#') {
            continue;
        }
        const std::string entry = line.substr(begin, line.find_last_not_of(" \t\r") + 1 - begin);
        struct stat status {};
        if (!xoprex::isStandardInput(entry) &&
            (::stat(entry.c_str(), &status) != 0 || S_ISDIR(status.st_mode) ||
             ::access(entry.c_str(), R_OK) != 0)) {
            throw xoprex::InputError(xoprex::InputProblem::Unreadable, path,
                                     "The collection list " + path + ", line " +
                                         std::to_string(number) + ": " +
                                         xoprex::cannotOpen(entry).what());
        }
        paths.push_back(entry);
    }
    if (paths.empty()) {
        throw xoprex::InputError(xoprex::InputProblem::Format, path,
                                 "The collection list " + path + " names no collection");
    }
    return paths;
}

// Standard error gathered into large writes while it is not a terminal
// (with --stdout the run log goes there, several lines a record: one write
// each would cost more than the search); restored, with what it holds
// written, when the object goes.
class BufferedStandardError : public std::streambuf {
  public:
    BufferedStandardError() {
        if (::isatty(STDERR_FILENO) == 0) {
            setp(buffer_, buffer_ + sizeof buffer_);
            previous_ = std::cerr.rdbuf(this);
            std::cerr.unsetf(std::ios::unitbuf);
        }
    }
    ~BufferedStandardError() override {
        if (previous_ != nullptr) {
            sync();
            std::cerr.rdbuf(previous_);
            std::cerr.setf(std::ios::unitbuf);
        }
    }
    BufferedStandardError(const BufferedStandardError&) = delete;
    BufferedStandardError& operator=(const BufferedStandardError&) = delete;

  protected:
    int overflow(int c) override {
        if (sync() != 0) {
            return traits_type::eof();
        }
        if (c != traits_type::eof()) {
            *pptr() = static_cast<char>(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        const char* at = pbase();
        while (at < pptr()) {
            const ssize_t written = ::write(STDERR_FILENO, at, static_cast<size_t>(pptr() - at));
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                break;  // nowhere to tell; what is held is dropped
            }
            at += written;
        }
        setp(buffer_, buffer_ + sizeof buffer_);
        return 0;
    }

  private:
    char buffer_[1 << 16];
    std::streambuf* previous_ = nullptr;
};

// A search, or with `regulon` a regulon search.
int runSearchCommand(const SearchArgs& args, const RegulonArgs* regulon) {
    std::vector<std::string> collections = args.collections;
    if (!args.collectionList.empty()) {
        const std::vector<std::string> listed = readCollectionList(args.collectionList);
        collections.insert(collections.end(), listed.begin(), listed.end());
    }
    inputsOfTheRun = {args.sequence, args.options, args.collectionList, args.backgroundFile,
                      args.outTable};
    inputsOfTheRun.insert(inputsOfTheRun.end(), collections.begin(), collections.end());
    inputsOfTheRun.insert(inputsOfTheRun.end(), args.motifs.begin(), args.motifs.end());
    if (regulon != nullptr) {
        inputsOfTheRun.push_back(regulon->annotation);
    }
    if (!args.outDir.empty()) {
        // A folder that is not there is made, with its parents, as the
        // field's tools do.
        std::error_code error;
        const bool exists = std::filesystem::exists(args.outDir, error);
        if (exists && !std::filesystem::is_directory(args.outDir, error)) {
            std::cerr << "xoprex: output folder " << args.outDir << " is not a folder\n";
            return kInputError;
        }
        if (!exists && !std::filesystem::create_directories(args.outDir, error) && error) {
            std::cerr << "xoprex: output folder " << args.outDir
                      << " cannot be made: " << error.message() << '\n';
            return kInputError;
        }
    }
    xoprex::SearchInputs inputs;
    inputs.sequencePath = args.sequence;
    for (const std::string& path : collections) {
        inputs.collections.push_back({path, xoprex::inputTitle(path, xoprex::NameRule::Wide)});
    }
    for (const std::string& path : args.motifs) {
        inputs.collections.push_back({path, "", true});
    }
    // A named options file must be whole; without one the search runs on
    // the factory defaults (an Options.txt here, which the desktop program
    // writes, is not taken unless named).
    inputs.optionsPath = args.options;
    const bool unusedOptionsFile =
        inputs.optionsPath.empty() && std::filesystem::exists("Options.txt");
    inputs.optionsSource =
        inputs.optionsPath.empty() ? xoprex::OptionsSource::Factory : xoprex::OptionsSource::File;
    inputs.optionSettings = args.settings;
    xoprex::SearchControl control;
    control.endsProcess = true;  // the search is the last thing the process does
    if (regulon != nullptr) {
        xoprex::RegulonSettings settings;
        settings.annotationPath = regulon->annotation;
        settings.operonGap = regulon->operonGap;
        settings.operons = !regulon->noOperons;
        settings.siteDensity = regulon->siteDensity;
        settings.prior = regulon->prior;
        inputs.regulon = settings;
    }
    inputs.formats.clear();
    for (const std::string& name : args.formats) {
        xoprex::ResultFormat format;
        xoprex::formatNamed(name, format);
        if (std::find(inputs.formats.begin(), inputs.formats.end(), format) ==
            inputs.formats.end()) {
            inputs.formats.push_back(format);
        }
    }
    std::optional<BufferedStandardError> bufferedErrors;
    if (!args.standardOutput.empty()) {
        bufferedErrors.emplace();
        failureEcho = &std::cerr;
        xoprex::ResultFormat format;
        xoprex::formatNamed(args.standardOutput, format);
        if (inputs.regulon) {
            inputs.regulon->standardOutput = true;  // the operons' table, not the hits'
        } else {
            inputs.standardOutput = format;
        }
        // The table goes to standard output, so the run log goes to standard
        // error; and nothing else is written unless asked for: files only in
        // the formats --format names, the logs only with --log.
        control.logEcho = &std::cerr;
        if (!args.formatGiven) {
            inputs.formats.clear();
        }
        const bool logAsked = std::any_of(args.settings.begin(), args.settings.end(),
                                          [](const xoprex::OptionSetting& setting) {
                                              return setting.number == 1 && setting.value == 1.0;
                                          });
        if (!logAsked) {
            inputs.runLogFile = false;
            inputs.optionSettings.push_back({1, 0.0});
        }
    }
    inputs.outTablePath = args.outTable;
    inputs.otherInputs = {args.collectionList};
    inputs.motifIds = args.motifIds;
    if (args.nsites) {
        inputs.defaultSites = *args.nsites;
    }
    inputs.maxStoredHits = args.maxStoredHits;
    inputs.commandLine = args.commandLine;
    inputs.pValue = args.pValue;
    inputs.outputFolder = xoprex::withTrailingSeparator(args.outDir);
    // The command line takes the names files have in the field (gzip, long
    // extensions, "-" for standard input).
    inputs.rules.names = xoprex::NameRule::Wide;
    inputs.rules.allGenBankRecords = args.allRecords;
    inputs.rules.maxRecordBytes = args.maxRecordLength;
    inputs.topology = args.topology == "linear" ? xoprex::TopologyRule::Linear
                      : args.topology == "auto" ? xoprex::TopologyRule::Auto
                                                : xoprex::TopologyRule::Circular;
    inputs.skipAmbiguous = args.skipAmbiguous;
    inputs.pooledQValues = args.pooledQ;
    inputs.backgroundPath = args.backgroundFile;
    inputs.reportPath = args.report;
    inputs.sequenceTitle = xoprex::inputTitle(args.sequence, xoprex::NameRule::Wide);
    inputs.threads = args.threads;
    const bool tableOnStandardOutput =
        inputs.standardOutput || (inputs.regulon && inputs.regulon->standardOutput);
    std::ostream& report = tableOnStandardOutput ? std::cerr : std::cout;
    xoprex::cli::ProgressLine progress(*control.logEcho);
    if (args.quiet) {
        control.logEcho = nullptr;
    } else if (progress.drawing()) {
        control.logEcho = &progress.echo();
        control.onFigures = [&progress](const xoprex::SearchControl::Figures& figures) {
            progress.update(figures);
        };
    }
    control.onWarning = [&progress](const std::string& warning) {
        progress.erase();
        std::cerr << "xoprex: warning: " << warning << '\n';
    };
    control.onNote = [&progress](const std::string& text) {
        progress.erase();
        std::cerr << "xoprex: note: " << text << '\n';
    };
    if (unusedOptionsFile) {
        control.onNote(
            "Options.txt in this folder is not used: the search runs on the factory "
            "defaults and the flags (--options Options.txt takes it)");
    }
    // A file of matrices may hold several: every summary line names its
    // collection then.
    const bool several = collections.size() > 1 || !args.motifs.empty();
    control.onSummary = [several, &progress](const xoprex::SearchControl::Summary& summary) {
        progress.erase();
        const std::string who = several ? summary.collection + ": " : std::string();
        std::cerr << "xoprex: " << who << "cut-off " << plainGeneral(summary.cutOff);
        if (std::isnan(summary.pValue)) {
            std::cerr << " (p-value out of reach): " << xoprex::formatGeneralC(summary.windows, 12)
                      << " windows, " << summary.passed << " found";
        } else {
            std::cerr << " (p-value " << roughFigure(summary.pValue)
                      << "): " << roughFigure(summary.expected) << " hits expected by chance in "
                      << xoprex::formatGeneralC(summary.windows, 12) << " windows, "
                      << summary.passed << " found";
        }
        if (summary.passed != summary.found) {
            std::cerr << " (" << summary.found << " after the both-strand rule)";
        }
        std::cerr << '\n';
        if (summary.ambiguous > 0) {
            std::cerr << "xoprex: " << who << summary.ambiguous
                      << (summary.ambiguous == 1 ? " hit holds" : " hits hold")
                      << " letters other than A, C, G, T (--skip-ambiguous leaves such windows "
                         "out)\n";
        }
        if (summary.acrossEnds > 0) {
            std::cerr << "xoprex: " << who << summary.acrossEnds
                      << (summary.acrossEnds == 1 ? " hit runs" : " hits run")
                      << " across the end of a record not known to be circular (windows run "
                         "across every record's end by default; --topology auto keeps them "
                         "within FASTA and linear GenBank records)\n";
        }
    };
    control.onOutput = [&report, &progress](xoprex::ResultFormat format, const std::string& path) {
        progress.erase();
        report << (format == xoprex::ResultFormat::Csv ? "Results table: " : "Results: ") << path
               << '\n';
    };
    control.onRegulon = [several, &report,
                         &progress](const xoprex::SearchControl::RegulonSummary& summary) {
        progress.erase();
        if (!summary.path.empty()) {
            report << "Regulon: " << summary.path << '\n';
        }
        const std::string who = several ? summary.collection + ": " : std::string();
        std::cerr << "xoprex: " << who << summary.operons
                  << (summary.operons == 1 ? " operon, " : " operons, ")
                  << roughFigure(summary.expected)
                  << " expected regulated (the sum of the posteriors), " << summary.aboveHalf
                  << " with a posterior above 0.5\n";
    };
    xoprex::runSearch(inputs, control);
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

// A signal that ends the process: the temporaries of the files being
// written go first. A closed pipe (SIGPIPE, `xoprex ... --stdout tsv | head`)
// ends it quietly, as the signal would; any other fatal signal (SIGXFSZ, a
// file past `ulimit -f`; SIGTERM, SIGINT, SIGHUP) with one message and
// status 3.
extern "C" void onFatalSignal(int signal) {
    xoprex::removeTemporaryFiles();
    if (signal == SIGPIPE) {
        ::signal(SIGPIPE, SIG_DFL);
        ::raise(SIGPIPE);
        ::_exit(128 + SIGPIPE);
    }
    const char* message = signal == SIGXFSZ
                              ? "xoprex: stopped: a file grew past the size limit (ulimit -f)\n"
                              : "xoprex: stopped by a signal\n";
    ::write(STDERR_FILENO, message, std::strlen(message));
    ::_exit(kSystemError);
}

void catchFatalSignals() {
    struct sigaction action {};
    action.sa_handler = onFatalSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGPIPE, SIGXFSZ, SIGTERM, SIGINT, SIGHUP}) {
        // A signal ignored by whoever started us (nohup, a caller ignoring
        // SIGXFSZ so that writes fail instead) stays ignored.
        struct sigaction before {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(signal, &action, nullptr);
    }
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
        if (error.kind() == xoprex::InputProblem::Usage) {
            // A mistake in the command, as the parser's own: on standard error.
            for (const std::string& line : error.lines()) {
                std::cerr << "xoprex: " << line << '\n';
            }
            std::cerr << "Run with --help for more information.\n";
            return kUsageError;
        }
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

// The flags of a search, which a regulon search takes too.
void addSearchFlags(CLI::App* command, SearchArgs& args, bool regulon) {
    command
        ->add_option("--sequence", args.sequence,
                     "Target file: FASTA (.fa .fasta .fna .fas .ffn) or GenBank (.gbk .gb .gbff "
                     ".genbank), optionally gzip-compressed (.gz); - reads standard input")
        ->required()
        ->type_name("FILE");
    command
        ->add_option("--collection", args.collections,
                     "Site collection: text (.txt) or FASTA, optionally gzip-compressed; - reads "
                     "standard input. Give it several times to search for several collections "
                     "in one pass; each writes the files of its own search")
        ->allow_extra_args(false)
        ->type_name("FILE");
    command
        ->add_option("--collections", args.collectionList,
                     "File listing collections, one path a line (blank lines and lines "
                     "starting with # skipped), searched after those of --collection")
        ->type_name("FILE");
    command
        ->add_option("--motifs", args.motifs,
                     "Count matrices (JASPAR .jaspar/.pfm, MEME .meme, TRANSFAC .transfac/.dat, "
                     "optionally gzip-compressed), each a collection titled by its ID, searched "
                     "after the collections above; needs --literal or --pvalue")
        ->allow_extra_args(false)
        ->type_name("FILE");
    command
        ->add_option("--options", args.options,
                     "Options file (default: none, the factory defaults); the flags below "
                     "override it")
        ->type_name("FILE");
    command
        ->add_option("--out-dir", args.outDir,
                     "Folder for the results and logs (default: current folder)")
        ->type_name("DIR");
    command
        ->add_option("--threads", args.threads, "Worker threads, up to 1024 (default: all cores)")
        ->check(CLI::Range(0u, kMaxThreads));
    command->add_flag("--all-records", args.allRecords,
                      "Read every record of a GenBank target (default: the first)");
    command
        ->add_option("--topology", args.topology,
                     "circular: windows run across each record's end into its start (default); "
                     "linear: only windows within each record; auto: as each GenBank record's "
                     "LOCUS line says, FASTA records and records that say nothing linear")
        ->check(CLI::IsMember({"circular", "linear", "auto"}))
        ->type_name("circular|linear|auto");
    command
        ->add_option("--bgfile", args.backgroundFile,
                     "Background file: one line \"A 0.29\" per base (longer words, a Markov "
                     "background's higher orders, are passed over); every record's scores and "
                     "p-values take it instead of the uniform background or option 3's")
        ->type_name("FILE");
    command
        ->add_option("--report", args.report,
                     "Also write a report of the run as one self-contained HTML page: the "
                     "settings, each collection's logo, self-scores, genome map and top hits")
        ->type_name("FILE.html");
    command->add_flag("--skip-ambiguous", args.skipAmbiguous,
                      "Leave out windows holding any letter other than A, C, G, T: neither "
                      "hits nor counted among the windows tested");
    command->add_flag("--pooled-q", args.pooledQ,
                      "q-values over every collection of the run together (the windows "
                      "tested summed); by default each collection's on its own");
    command->add_flag("--quiet", args.quiet,
                      "Neither echo the run log nor show the progress line (shown on a "
                      "terminal's standard error)");
    addOptionFlags(*command, args.settings);
    command
        ->add_option("--format", args.formats,
                     "Results to write, any of csv (the results table), tsv, bed, gff3, "
                     "separated by commas (default: csv); each is named after the results table")
        ->delimiter(',')
        ->check(CLI::IsMember({"csv", "tsv", "bed", "gff3"}))
        ->type_name("LIST");
    command
        ->add_option("--pvalue", args.pValue,
                     "Cut at a p-value instead of --threshold: keep the windows whose score is "
                     "at most this likely in random sequence of the same background (windows "
                     "whose scores tie pass together). In integrative mode P fixes the cut-off "
                     "before it is relaxed, so listed windows may be more likely than P (their "
                     "p-values are those of their own window scores)")
        ->check(CLI::Range(0.0, 1.0))
        ->type_name("P");
    command
        ->add_option("--stdout", args.standardOutput,
                     "Write one table of every collection's results in this format to standard "
                     "output (the rows' motif_id tells the collections apart); nothing else is "
                     "written unless asked: files only in the formats --format names, the logs "
                     "only with --log (the run log's lines go to standard error)")
        ->check(regulon ? CLI::IsMember({"tsv"}) : CLI::IsMember({"tsv", "bed", "gff3"}))
        ->type_name(regulon ? "tsv" : "tsv|bed|gff3");
    command
        ->add_option("--out-table", args.outTable,
                     "Write the same one table of every collection's results to FILE (TSV, or "
                     "BED or GFF3 by its extension)")
        ->type_name("FILE");
    command
        ->add_option("--motif", args.motifIds,
                     "Search only the matrices of the --motifs files with this ID or alt ID "
                     "(repeatable); an ID that names none is an error")
        ->allow_extra_args(false)
        ->type_name("ID");
    command
        ->add_option("--nsites", args.nsites,
                     "The sites a matrix of probabilities stands for when its file gives no "
                     "number (default: 20)")
        ->check(CLI::PositiveNumber)
        ->type_name("N");
    command
        ->add_option("--max-stored-hits", args.maxStoredHits,
                     "Per collection, the passing windows kept for the q-values (default: "
                     "1000000); beyond, rows are written with their p-values as they come and "
                     "the collection's q-values left empty")
        ->check(CLI::PositiveNumber)
        ->type_name("N");
    command
        ->add_option("--max-record-length", args.maxRecordLength,
                     "The most bytes one record of the target may take in its file (default: "
                     "4G; K, M, G, T for powers of 1024); a longer record is refused")
        ->transform(CLI::AsSizeValue(false))
        ->check(CLI::PositiveNumber)
        ->type_name("SIZE");
}

// The flags of a regulon search besides those of a search.
void addRegulonFlags(CLI::App* command, RegulonArgs& args) {
    command
        ->add_option("--annotation", args.annotation,
                     "GFF3 annotation of the target's genes (gene and CDS features, column 1 "
                     "naming the FASTA records), over a GenBank file's own; gzip allowed")
        ->type_name("FILE");
    command
        ->add_option("--operon-gap", args.operonGap,
                     "Genes of one strand at most N bases apart are one operon (default: 50)")
        ->check(CLI::Range(int64_t{0}, int64_t{1'000'000'000}))
        ->type_name("N");
    command->add_flag("--no-operons", args.noOperons, "Take every gene as an operon of its own");
    command
        ->add_option("--site-density", args.siteDensity,
                     "The chance that a window of a regulated promoter region is a site "
                     "(default: 1 / the region's windows)")
        ->check(CLI::Range(std::nextafter(0.0, 1.0), 1.0))
        ->type_name("A");
    command
        ->add_option("--prior", args.prior,
                     "The prior share of operons the factor regulates (default: 0.05)")
        ->check(CLI::Range(std::nextafter(0.0, 1.0), std::nextafter(1.0, 0.0)))
        ->type_name("P");
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"XOprex: finds the binding sites of one transcription factor in a genome."};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("xoprex ") + xoprex::version());

    SearchArgs search;
    CLI::App* searchCmd = app.add_subcommand("search", "Search a target for binding sites");
    addSearchFlags(searchCmd, search, false);
    SearchArgs regulonSearch;
    RegulonArgs regulon;
    CLI::App* regulonCmd = app.add_subcommand(
        "regulon",
        "Search a target and rank its operons by the posterior probability that the factor "
        "regulates them");
    addSearchFlags(regulonCmd, regulonSearch, true);
    addRegulonFlags(regulonCmd, regulon);
    for (int i = 0; i < argc; ++i) {
        search.commandLine += (i == 0 ? std::string("xoprex") : " " + std::string(argv[i]));
    }
    regulonSearch.commandLine = search.commandLine;

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

    catchFatalSignals();
    // A search of thousands of matrices holds a results table open for
    // each: the soft limit on open files goes up to what the system allows.
    if (rlimit files{};
        ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    return guarded([&] {
        if (*searchCmd) {
            tuneHeapForScanning();
            search.formatGiven = searchCmd->count("--format") > 0;
            return runSearchCommand(search, nullptr);
        }
        if (*regulonCmd) {
            tuneHeapForScanning();
            regulonSearch.formatGiven = regulonCmd->count("--format") > 0;
            return runSearchCommand(regulonSearch, &regulon);
        }
        if (*optionsCmd) {
            return runOptionsCommand(defaultsPath);
        }
        return runMergeCommand(mergeIn, mergeOut);
    });
}
