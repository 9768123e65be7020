#include "motif/count_matrix.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <sstream>

#include "base/errors.h"
#include "base/file_names.h"
#include "motif/matrix_formats/reading.h"
#include "motif/matrix_formats/row_blocks.h"
#include "seqio/input_source.h"

namespace xoprex {
namespace {

using namespace matrix_formats;

// How much of a text the format is told from.
constexpr size_t kLookedAt = 64 * 1024;

bool isTransfacTag(std::string_view word) {
    for (const std::string_view tag : {"AC", "ID", "NA", "DE", "BF", "P0", "PO", "XX", "VV", "//",
                                       "CC", "BA", "BS", "CO", "HC", "OS", "OC", "DT"}) {
        if (word == tag) {
            return true;
        }
    }
    return false;
}

// The lines of the text that are not blank, trimmed, from the first
// `kLookedAt` bytes.
std::vector<std::string_view> filledLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t at = 0;
    while (at < std::min(text.size(), kLookedAt)) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = trimmed(text.substr(at, end - at));
        if (!line.empty()) {
            lines.push_back(line);
        }
        at = end + 1;
    }
    return lines;
}

// ">CONSENSUS<TAB>NAME<TAB>threshold...".
bool isHomerHeader(std::string_view line) {
    const size_t first = line.find('\t');
    const size_t second = line.find('\t', first == std::string_view::npos ? first : first + 1);
    if (second == std::string_view::npos) {
        return false;
    }
    const std::string_view third = line.substr(second + 1);
    return isNumber(trimmed(third.substr(0, third.find('\t'))));
}

bool isLetters(std::string_view line) {
    return std::all_of(line.begin(), line.end(),
                       [](unsigned char c) { return std::isalpha(c) != 0; });
}

// What the content says, and the formats the extension may still settle it
// to (`open`): four-column or HOMER when every matrix is four rows of four
// numbers, JASPAR too when they are taken for four columns, and HOMER for
// four columns under '>' headers.
struct ContentFormat {
    MatrixFormat format = MatrixFormat::Unknown;
    std::vector<MatrixFormat> open;
};

ContentFormat rowLayoutFormat(std::string_view text, std::string_view line) {
    std::istringstream in{std::string(text.substr(0, std::min(text.size(), kLookedAt)))};
    const LayoutGuess guess = rowLayoutOf(rowBlocks(in));
    const bool fourRows = guess.layout == RowLayout::FourRows;
    const bool angled = line[0] == '>';
    if (angled && isHomerHeader(line) && !(guess.sure && fourRows)) {
        return {MatrixFormat::Homer, {}};
    }
    std::vector<MatrixFormat> open;
    if (!guess.sure) {
        open.push_back(fourRows ? MatrixFormat::FourColumn : MatrixFormat::Jaspar);
    }
    if (angled && !(guess.sure && fourRows)) {
        open.push_back(MatrixFormat::Homer);
    }
    return {fourRows ? MatrixFormat::Jaspar : MatrixFormat::FourColumn, open};
}

ContentFormat contentFormat(std::string_view text) {
    const std::vector<std::string_view> lines = filledLines(text);
    if (lines.empty()) {
        return {};
    }
    const std::string_view line = lines[0];
    // MEME's report has a banner of '*' lines above its "MEME version".
    const bool starred = line.find_first_not_of('*') == std::string_view::npos;
    for (size_t i = 0; i < std::min<size_t>(lines.size(), starred ? 12 : 1); ++i) {
        if (startsWith(lines[i], "MEME version")) {
            return {MatrixFormat::Meme, {}};
        }
    }
    if (line[0] == '<') {
        return {MatrixFormat::MemeXml, {}};
    }
    if (isTransfacTag(firstWord(line))) {
        return {MatrixFormat::Transfac, {}};
    }
    if (line[0] == '>' && lines.size() > 1 && isLetters(lines[1])) {
        return {MatrixFormat::JasparSites, {}};
    }
    if (line[0] == '>' || line[0] == '#' || line[0] == '[' || startsNumber(line) ||
        baseOfLetter(firstWord(line)) >= 0) {
        return rowLayoutFormat(text, line);
    }
    return {};
}

}  // namespace

double CountMatrix::siteCount() const {
    if (!sites.empty()) {
        return static_cast<double>(sites.size());
    }
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
    static const std::vector<std::pair<std::string_view, MatrixFormat>> formats = {
        {"jaspar", MatrixFormat::Jaspar},     {"pfm", MatrixFormat::Jaspar},
        {"sites", MatrixFormat::JasparSites}, {"meme", MatrixFormat::Meme},
        {"xml", MatrixFormat::MemeXml},       {"cb", MatrixFormat::FourColumn},
        {"motif", MatrixFormat::Homer},       {"motifs", MatrixFormat::Homer},
        {"transfac", MatrixFormat::Transfac}, {"dat", MatrixFormat::Transfac}};
    for (const auto& [known, format] : formats) {
        if (lower == known) {
            return format;
        }
    }
    return MatrixFormat::Unknown;
}

MatrixFormat matrixFormatOfContent(std::string_view text) {
    return contentFormat(text).format;
}

MatrixFormat matrixFormatOf(std::string_view text, const std::string& extension) {
    const ContentFormat content = contentFormat(text);
    const MatrixFormat named = matrixFormatOfExtension(extension);
    const bool settles =
        std::find(content.open.begin(), content.open.end(), named) != content.open.end();
    return content.format == MatrixFormat::Unknown || settles ? named : content.format;
}

std::vector<CountMatrix> readMatrices(std::string_view text, MatrixFormat format,
                                      const std::string& name, const std::string& title,
                                      const MatrixReading& reading) {
    if (format == MatrixFormat::Unknown) {
        format = matrixFormatOfContent(text);
    }
    std::istringstream in{std::string(text)};
    switch (format) {
        case MatrixFormat::Jaspar:
            return readJasparMatrices(in, name, title);
        case MatrixFormat::JasparSites:
            return readJasparSites(in, name, title);
        case MatrixFormat::Meme:
            return readMemeMatrices(in, name, reading);
        case MatrixFormat::MemeXml:
            return readMemeXmlMatrices(in, name, reading);
        case MatrixFormat::FourColumn:
            return readFourColumnMatrices(in, name, title);
        case MatrixFormat::Homer:
            return readHomerMatrices(in, name, reading);
        case MatrixFormat::Transfac:
            return readTransfacMatrices(in, name, title);
        case MatrixFormat::Unknown:
            break;
    }
    const Problems problems(name);
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        problems.whole("no matrix");
    }
    problems.whole(
        "not a count matrix file (JASPAR, JASPAR sites, MEME, MEME XML, four-column, "
        "ClusterBuster, HOMER or TRANSFAC)");
}

std::vector<CountMatrix> readMatrixFile(const std::string& path, const MatrixReading& reading) {
    const std::unique_ptr<InputSource> source = InputSource::open(path, NameRule::Wide);
    if (source == nullptr) {
        throw cannotOpen(path);
    }
    const std::string text = source->readAll();
    return readMatrices(text, matrixFormatOf(text, wideExtension(path)), source->name(),
                        inputTitle(path, NameRule::Wide), reading);
}

SiteCollection collectionFromMatrix(const CountMatrix& matrix, const SequenceRecord& background) {
    SiteCollection collection;
    collection.baseName = matrix.id;
    collection.siteLength = static_cast<int32_t>(matrix.columns.size());
    if (matrix.sites.empty()) {
        collection.matrixCounts = matrix.columns;
        collection.matrixSiteCount = matrix.siteCount();
    }
    for (const std::string& text : matrix.sites) {
        SiteHit site(collection.siteLength);
        site.site = text;
        collection.sites.push_back(std::move(site));
    }
    buildModel(collection, background);
    return collection;
}

std::vector<SiteCollection> loadMatrixCollections(const std::string& path,
                                                  const SequenceRecord& background,
                                                  const MatrixReading& reading) {
    std::vector<SiteCollection> collections;
    for (const CountMatrix& matrix : readMatrixFile(path, reading)) {
        collections.push_back(collectionFromMatrix(matrix, background));
    }
    return collections;
}

std::vector<std::string> renameDuplicateIds(std::vector<CountMatrix>& matrices,
                                            std::unordered_set<std::string>& taken,
                                            const std::string& name) {
    // A new ID also leaves alone the IDs of the matrices still to come.
    std::unordered_multiset<std::string> later;
    for (const CountMatrix& matrix : matrices) {
        later.insert(matrix.id);
    }
    std::vector<std::string> messages;
    for (size_t i = 0; i < matrices.size(); ++i) {
        std::string& id = matrices[i].id;
        later.erase(later.find(id));
        if (taken.insert(id).second) {
            continue;
        }
        std::string renamed;
        for (size_t k = 2; renamed.empty() || taken.count(renamed) > 0 || later.count(renamed) > 0;
             ++k) {
            renamed = id + "." + std::to_string(k);
        }
        messages.push_back(name + ": matrix " + std::to_string(i + 1) + " has the ID " +
                           quoted(id) + " of an earlier matrix; it is titled " + quoted(renamed));
        id = renamed;
        taken.insert(renamed);
    }
    return messages;
}

}  // namespace xoprex
