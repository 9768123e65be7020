// One complete search, from the three input paths to the results table.
// Invalid input raises InputError (an output that would replace an input
// too, before anything is written), an output that cannot be written
// OutputError, a cancelled search SearchCancelled (base/errors.h); the front
// ends report them. Every output is written whole or not at all; the run log
// grows as the run goes. Nothing else escapes but the system's own failures
// (memory, threads).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "motif/count_matrix.h"
#include "options/option_table.h"
#include "report/result_formats.h"
#include "seqio/sequence.h"

namespace xoprex {

enum class TopologyRule { Circular, Linear, Auto };

// Where a search takes its options from.
enum class OptionsSource {
    // The options file; a file that cannot be read or holds fewer than
    // sixteen values gives the built-in defaults, with a warning in the run
    // log (the desktop program's rule).
    FileOrBuiltIn,
    // The options file, which must hold all sixteen values (InputError
    // otherwise).
    File,
    // No file: the factory defaults (the values `options --write-defaults`
    // writes).
    Factory,
};

// A collection of a search: a file of sites, titled (the results' and logs'
// names take the title); or a file of count matrices (motif/count_matrix.h),
// each matrix a collection titled by its ID (letters other than ASCII
// letters, digits and ". _ + -" become '_'). A matrix has no sites to take
// a relative threshold from: it needs a literal cut-off or a p-value
// (InputError otherwise, before anything is written).
struct CollectionSource {
    std::string path;
    std::string title;  // for a file of sites
    bool matrices = false;
};

// A regulon search (pipeline/regulon_search.h): besides the search's own
// results, each collection's operons with the posterior probability that
// the factor regulates them.
inline constexpr int64_t kDefaultOperonGap = 50;
inline constexpr double kDefaultPrior = 0.05;
struct RegulonSettings {
    // A GFF3 file of the records' genes (seqio/gff3_reader.h), over those
    // of GenBank records; empty: the GenBank records' own.
    std::string annotationPath;
    // Genes of one strand at most this many bases apart are one operon;
    // without grouping every gene is one (regulon/operons.h).
    int64_t operonGap = kDefaultOperonGap;
    bool operons = true;
    // The chance that a window of a regulated region is a site (0 < a <= 1);
    // none: 1 / the region's windows.
    std::optional<double> siteDensity;
    // The prior share of regulated operons (0 < p < 1).
    double prior = kDefaultPrior;
    // The one table of every collection's operons on standard output
    // instead of a table per collection.
    bool standardOutput = false;
};

struct SearchInputs {
    std::string sequencePath;
    std::string optionsPath;
    std::string outputFolder;  // ends with the path separator (or is empty)
    std::string sequenceTitle;
    // The collections, at least one. Several are searched in one pass over
    // the target: each record is read once and scanned with every collection
    // in turn, and each collection writes exactly the files its own search
    // would write. The sequence and gene logs and the run log bear the
    // target's name alone, so one of each is written; the run log is that of
    // the last collection's search (as after searches run one after
    // another). Two collections with the same title are refused
    // (InputError): their files would replace each other.
    std::vector<CollectionSource> collections;
    unsigned threads = 0;  // 0: all cores
    OptionsSource optionsSource = OptionsSource::FileOrBuiltIn;
    // Options set on the command line, over those of the source. With any,
    // or with the factory defaults, the run log names the options in effect.
    std::vector<OptionSetting> optionSettings;
    // The results' formats, each written as the results table's name with
    // the format's extension (default: the results table alone).
    std::vector<ResultFormat> formats = {ResultFormat::Csv};
    // One table of every collection's rows (their motif IDs telling them
    // apart, one header) in TSV, BED or GFF3, written to standard output,
    // and to outTablePath when it is not empty (the format its extension
    // names; TSV when none).
    std::optional<ResultFormat> standardOutput;
    std::string outTablePath;
    // The run log's file (TITLE.log); without it the run log's lines go only
    // where SearchControl::logEcho sends them.
    bool runLogFile = true;
    // A collection whose passing windows exceed this writes its rows as they
    // come, with their p-values, and leaves their q-values empty (q-values
    // rank every passing window; keeping them all may not fit in memory).
    size_t maxStoredHits = 1'000'000;
    // Of the count-matrix files, only the matrices of these IDs or alt IDs
    // (every matrix when empty); an ID that names none is refused.
    std::vector<std::string> motifIds;
    // The sites a matrix of probabilities stands for when its file gives no
    // number.
    double defaultSites = kMemeDefaultSites;
    // The command line, for the TSV's comment lines.
    std::string commandLine;
    // Files the run read besides those above (a list of collections): no
    // output may replace them either.
    std::vector<std::string> otherInputs;
    // A p-value cut-off: the cut-off becomes the literal score whose p-value
    // is the largest not above it (over --threshold; relaxed like any other
    // in integrative mode), and the results are named after it
    // ("..._p1e-04.csv").
    std::optional<double> pValue;
    // How the target and the collection are read (names, standard input,
    // GenBank records); the defaults are the desktop program's rules.
    InputRules rules;
    // How records are scanned: every record as circular (windows run across
    // its end into its start), every record as linear, or each as its file
    // says (a GenBank LOCUS line; linear when it says nothing, and for
    // FASTA records).
    TopologyRule topology = TopologyRule::Circular;
    // Windows holding a letter other than A, C, G and T are neither hits
    // nor counted among the windows tested.
    bool skipAmbiguous = false;
    // q-values over every collection of the run together (M summed) instead
    // of each collection on its own.
    bool pooledQValues = false;
    // A background file (motif/background_file.h) whose base probabilities
    // every record's scores and p-values take instead of the uniform ones
    // or option 3's composition; empty for none.
    std::string backgroundPath;
    // The run's HTML report (pipeline/run_report.h), written last; empty for
    // none. Asking for it keeps the records' results; its hits have p- and
    // q-values when the run computes them (TSV or GFF3 results, or a p-value
    // cut-off).
    std::string reportPath;
    // A regulon search: each collection also writes its regulon table,
    // TITLE_COLLECTION_regulon.tsv (report/regulon_table.h).
    std::optional<RegulonSettings> regulon;
};

struct SearchControl {
    // Every run-log line, after it reached the log file and standard output.
    std::function<void(const std::string&)> onLine;
    // Share of the scan done, 0..1 (records done plus the share of windows
    // of the record being scanned).
    std::function<void(double)> onProgress;
    // The same progress in figures, as often (and at the end of every
    // record): the input's bytes done and in all (0: unknown; for gzip
    // input, the decompressed bytes and their likely total), the records
    // done and the hits they gave (of every collection).
    struct Figures {
        size_t bytesDone = 0;
        size_t bytesTotal = 0;
        size_t records = 0;
        size_t hits = 0;
    };
    std::function<void(const Figures&)> onFigures;
    // Checked between records and regularly during a scan.
    const std::atomic<bool>* cancel = nullptr;
    // Options the search runs with although they look like mistakes (a
    // method outside 1 to 11, a relative threshold outside (0, 1)); the run
    // log and the results do not mention them.
    std::function<void(const std::string&)> onWarning;
    // A choice the search made on its own that the user should know of (one
    // sentence each): option 3 not applied to a target of several records,
    // GenBank records left unread, a motif that cannot reach the p-value
    // cut-off, a target whose composition is far from the background.
    std::function<void(const std::string&)> onNote;
    // Every results file written (the results table and the other formats),
    // with its format.
    std::function<void(ResultFormat, const std::string&)> onOutput;
    // At the end, for each collection, what the cut-off means: its p-value,
    // the hits expected by chance among the windows scored, and the hits
    // found.
    struct Summary {
        std::string collection;  // its title
        double cutOff = 0.0;
        double pValue = 0.0;  // to within 1%
        double windows = 0.0;
        double expected = 0.0;  // pValue * windows
        size_t passed = 0;      // windows that passed the cut-off
        size_t found = 0;       // hits: those left by the both-strand rule
        size_t ambiguous = 0;   // hits holding a letter other than A, C, G, T
        size_t acrossEnds = 0;  // hits across the end of a record not stated circular
    };
    std::function<void(const Summary&)> onSummary;
    // At the end of a regulon search, for each collection: its operons, the
    // number expected to be regulated (the sum of the posteriors), those
    // whose posterior exceeds 0.5, the table written (empty when none: the
    // table went to standard output) and its rows, in the table's order.
    struct RegulonSummary {
        std::string collection;
        size_t operons = 0;
        double expected = 0.0;
        size_t aboveHalf = 0;
        std::string path;
        const std::vector<RegulonRow>* rows = nullptr;
    };
    std::function<void(const RegulonSummary&)> onRegulon;
    // Where the run log's lines go besides its file (null: nowhere).
    std::ostream* logEcho = &std::cout;
    // Set by a caller that ends its process once the run is over (the
    // command line): the regulon's tables, tens of thousands of small
    // strings, are then left to the end of the process, whose memory goes
    // back at once, rather than freed one by one.
    bool endsProcess = false;
};

// Returns the results table's file name (or, without the results table among
// the formats, the first file written) of the first collection. Raises
// InputError for the first problem checkSettings (pipeline/search_settings.h)
// finds: Usage for a mistake in how the search was asked for, Options
// otherwise.
std::string runSearch(const SearchInputs& inputs, const SearchControl& control = {});

}  // namespace xoprex
