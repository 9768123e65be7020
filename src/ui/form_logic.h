// The main dialog's rules that need no widgets: accepted extensions, the
// threshold list, folder and name helpers, and the checks that turn the form
// into one search.
// Everything here is pure: it reads its arguments and returns a value.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "options/options_file.h"
#include "pipeline/run_search.h"

namespace xoprex::ui {

// Longest text each paste box accepts.
inline constexpr std::size_t kPasteLimit = 5'000'000;
inline constexpr const char* kSequenceTooLong =
    "The pasted sequence is longer than 5,000,000 characters: save it to a file and browse it";
inline constexpr const char* kCollectionTooLong =
    "The pasted collection is longer than 5,000,000 characters: save it to a file and browse it";

// The extensions the search reads (seqio/sequence.h, motif/site_collection.h).
bool isSequenceExtension(const std::string& ext);    // GBK gbk GB gb FAS fas FNA fna
bool isCollectionExtension(const std::string& ext);  // TXT txt FAS fas FNA fna

// "0", "0.1", "0.15", ... "0.95", "1.0": the twenty threshold choices.
std::vector<std::string> thresholdChoices();

// Text after the last '.' of the file name ("" when there is none): the
// extension the file chooser records, checked whole (unlike the readers,
// which look at three characters).
std::string fileExtension(const std::string& path);

// The inputs of the Search button as the dialog holds them.
struct SearchForm {
    std::string startFolder;
    std::string outputFolder;  // ends with '/'
    std::string optionsPath;
    std::string sequencePath, sequenceTitle, sequenceExt, pastedSequence;
    std::string collectionPath, collectionTitle, collectionExt, pastedCollection;
};

struct PasteFile {
    std::string path;
    std::string text;
};

// Outcome of the Search button's checks. With `error` set the search is
// refused with that message; with `stopQuietly` it stops without one (the
// options path was empty and has been filled in). Otherwise `form` holds
// the values the search runs with and the paste files still to be written.
struct SearchPlan {
    std::string error;
    bool stopQuietly = false;
    SearchForm form;
    std::optional<PasteFile> sequencePaste;
    std::optional<PasteFile> collectionPaste;
};

SearchPlan planSearch(const SearchForm& form);

// The options a search would run with once the form is saved: the method
// named by its label (`texts.methodNumber` when the label is unknown) and
// every other text read as the run reads it from the options file.
Options formRunOptions(const OptionTexts& texts, const std::string& methodLabel);

// The Extra group beyond the original controls, as text: the settings the
// command line's flags give a search (--pvalue, --motifs, --collection,
// --all-records, --topology, --skip-ambiguous, --report; and a regulon
// search, `xoprex regulon` with its defaults). Lists of files are separated
// by ';'.
struct ExtraForm {
    std::string pValue;  // empty: none
    std::string matrixFiles;
    std::string siteCollections;
    bool allRecords = false;
    std::string topology = "circular";  // circular, linear or auto
    bool skipAmbiguous = false;
    std::string reportPath;
    bool regulon = false;
};

// The paths of a ';'-separated list, blanks around them trimmed, empty
// ones left out.
std::vector<std::string> splitPaths(const std::string& list);

// Adds the Extra group's settings to `inputs` (after the form's own
// collection) as the matching flags would; returns the refusal message, or
// "" when the settings are taken.
std::string applyExtraForm(const ExtraForm& form, SearchInputs& inputs);

}  // namespace xoprex::ui
