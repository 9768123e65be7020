#include "pipeline/search_outputs.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "base/errors.h"
#include "base/file_names.h"

namespace xoprex {
namespace {

// The longest file name the file systems in use take.
constexpr size_t kMaxFileNameLength = 255;

void checkTitlesDiffer(const std::vector<NamedCollection>& collections) {
    std::unordered_map<std::string, const NamedCollection*> byTitle;
    for (const NamedCollection& search : collections) {
        const auto [found, added] = byTitle.emplace(search.title, &search);
        if (added) {
            continue;
        }
        const NamedCollection& other = *found->second;
        const std::string which = other.path == search.path
                                      ? "two collections of " + search.path
                                      : "collections " + other.path + " and " + search.path;
        throw InputError(InputProblem::Overwrite, search.path,
                         which + " have the same title, " + search.title +
                             ": their results would replace each other");
    }
}

}  // namespace

std::string matrixTitle(const std::string& id) {
    std::string title = id.empty() ? "matrix" : id;
    for (char& c : title) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '+' || c == '-';
        if (!kept) {
            c = '_';
        }
    }
    return title;
}

std::string resultsTableName(const Options& options, const std::optional<double>& pValue,
                             const OutputNaming& naming) {
    return pValue ? resultsFileName(options, *pValue, naming) : resultsFileName(options, naming);
}

void checkSearchOutputs(const std::vector<NamedCollection>& collections,
                        const std::string& runBaseName, const std::vector<ResultFormat>& formats,
                        bool logResults, bool runLog, const std::vector<std::string>& runFiles,
                        const std::vector<std::string>& inputs) {
    checkTitlesDiffer(collections);
    std::vector<std::string> outputs = sharedOutputNames(runBaseName, logResults);
    if (!runLog) {
        outputs.erase(outputs.begin());  // the run log's name comes first
    }
    for (const std::string& file : runFiles) {
        if (!file.empty()) {
            outputs.push_back(file);
        }
    }
    for (const NamedCollection& collection : collections) {
        const std::vector<std::string> own = collectionOutputNames(
            collection.resultsName, formats, collection.reportPrefix, logResults);
        outputs.insert(outputs.end(), own.begin(), own.end());
    }
    InputFiles read;
    for (const std::string& input : inputs) {
        read.add(input);
    }
    for (const std::string& output : outputs) {
        const size_t length = std::filesystem::path(output).filename().string().size();
        if (length > kMaxFileNameLength) {
            // The name comes from the inputs' titles (a matrix's ID, say).
            throw InputError(InputProblem::Format, output,
                             "Cannot create " + output + ": " + std::strerror(ENAMETOOLONG) + " (" +
                                 std::to_string(length) + " characters, of at most " +
                                 std::to_string(kMaxFileNameLength) +
                                 "; the title of the target or of a collection makes it)");
        }
        if (const std::string* input = read.replacedBy(output)) {
            throw InputError(InputProblem::Overwrite, output,
                             "output " + output + " would overwrite input " + *input);
        }
    }
}

}  // namespace xoprex
