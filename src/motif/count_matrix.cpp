#include "motif/count_matrix.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <sstream>

#include "base/errors.h"
#include "base/file_names.h"
#include "motif/matrix_formats/reading.h"
#include "seqio/input_source.h"

namespace xoprex {
namespace {

using namespace matrix_formats;

bool isTransfacTag(std::string_view word) {
    for (const std::string_view tag :
         {"AC", "ID", "NA", "DE", "BF", "P0", "PO", "XX", "VV", "//"}) {
        if (word == tag) {
            return true;
        }
    }
    return false;
}

}  // namespace

double CountMatrix::siteCount() const {
    double largest = 0.0;
    for (const auto& n : columns) {
        largest = std::max(largest, n[0] + n[1] + n[2] + n[3]);
    }
    return largest;
}

MatrixFormat matrixFormatOfExtension(const std::string& extension) {
    std::string lower = extension;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "jaspar" || lower == "pfm") {
        return MatrixFormat::Jaspar;
    }
    if (lower == "meme") {
        return MatrixFormat::Meme;
    }
    if (lower == "transfac" || lower == "dat") {
        return MatrixFormat::Transfac;
    }
    return MatrixFormat::Unknown;
}

MatrixFormat matrixFormatOfContent(std::string_view text) {
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = trimmed(text.substr(at, end - at));
        at = end + 1;
        const std::string_view first = firstWord(line);
        if (line.empty()) {
            continue;
        }
        if (startsWith(line, "MEME version")) {
            return MatrixFormat::Meme;
        }
        if (line[0] == '>' || startsNumber(line) || baseOfLetter(first) >= 0 ||
            startsWith(line, "[")) {
            return MatrixFormat::Jaspar;
        }
        return isTransfacTag(first) ? MatrixFormat::Transfac : MatrixFormat::Unknown;
    }
    return MatrixFormat::Unknown;
}

std::vector<CountMatrix> readMatrices(std::string_view text, MatrixFormat format,
                                      const std::string& name, const std::string& title) {
    if (format == MatrixFormat::Unknown) {
        format = matrixFormatOfContent(text);
    }
    std::istringstream in{std::string(text)};
    switch (format) {
        case MatrixFormat::Jaspar:
            return readJasparMatrices(in, name, title);
        case MatrixFormat::Meme:
            return readMemeMatrices(in, name);
        case MatrixFormat::Transfac:
            return readTransfacMatrices(in, name, title);
        case MatrixFormat::Unknown:
            break;
    }
    const Problems problems(name);
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        problems.whole("no matrix");
    }
    problems.whole("not a count matrix file (JASPAR, MEME or TRANSFAC)");
}

std::vector<CountMatrix> readMatrixFile(const std::string& path) {
    const std::unique_ptr<InputSource> source = InputSource::open(path, NameRule::Wide);
    if (source == nullptr) {
        throw InputError(InputProblem::Unreadable, path, "Incorrect file name: " + path);
    }
    const std::string text = source->readAll();
    return readMatrices(text, matrixFormatOfExtension(wideExtension(path)), source->name(),
                        inputTitle(path, NameRule::Wide));
}

SiteCollection collectionFromMatrix(const CountMatrix& matrix, const SequenceRecord& background) {
    SiteCollection collection;
    collection.baseName = matrix.id;
    collection.siteLength = static_cast<int32_t>(matrix.columns.size());
    collection.matrixCounts = matrix.columns;
    collection.matrixSiteCount = matrix.siteCount();
    buildModel(collection, background);
    return collection;
}

std::vector<SiteCollection> loadMatrixCollections(const std::string& path,
                                                  const SequenceRecord& background) {
    std::vector<SiteCollection> collections;
    for (const CountMatrix& matrix : readMatrixFile(path)) {
        collections.push_back(collectionFromMatrix(matrix, background));
    }
    return collections;
}

}  // namespace xoprex
