#include "report/regulon_table.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <string_view>

#include "base/number_format.h"
#include "base/text_lines.h"
#include "base/version.h"
#include "options/options.h"
#include "report/result_schema.h"

namespace xoprex {
namespace {

// Significant digits of scores, as in the TSV of the hits.
constexpr int kScoreDigits = 14;

template <typename Integer>
void appendInteger(std::string& out, Integer value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// A text in a field: control characters become blanks; within a list the
// separator becomes '/'.
// Whether text holds no control character (nor, in a list item, the
// separator).
bool plainField(std::string_view text, bool listItem) {
    const char separator = listItem ? kRegulonListSeparator : '\0';
    size_t k = 0;
#ifdef __SSE2__
    const __m128i control = _mm_set1_epi8(0x1F);
    const __m128i separators = _mm_set1_epi8(separator);
    for (; k + 16 <= text.size(); k += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + k));
        const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(bytes, control), bytes);
        if (_mm_movemask_epi8(_mm_or_si128(low, _mm_cmpeq_epi8(bytes, separators))) != 0) {
            return false;
        }
    }
#endif
    for (; k < text.size(); ++k) {
        const char c = text[k];
        if (static_cast<unsigned char>(c) < 0x20 || c == separator) {
            return false;
        }
    }
    return true;
}

void appendField(std::string& out, std::string_view text, bool listItem = false) {
    if (plainField(text, listItem)) {
        out.append(text);
        return;
    }
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) {
            out += ' ';
        } else if (listItem && c == kRegulonListSeparator) {
            out += '/';
        } else {
            out += c;
        }
    }
}

void appendList(std::string& out, const std::vector<std::string>& items) {
    for (size_t k = 0; k < items.size(); ++k) {
        if (k > 0) {
            out += kRegulonListSeparator;
        }
        appendField(out, items[k], true);
    }
}

// An empty field for NaN.
void appendNumber(std::string& out, double value, int digits) {
    if (!std::isnan(value)) {
        appendGeneralC(out, value, digits);
    }
}

void appendComment(std::string& text, std::string_view key, std::string_view value) {
    text += "# ";
    text += key;
    text += ": ";
    appendField(text, value);
    text += '\n';
}

void appendComments(std::string& text, const RegulonContext& context, bool first) {
    if (first) {
        text += "# xoprex ";
        text += version();
        text += '\n';
        appendComment(text, tsv_comment::kCommand, context.commandLine);
        appendComment(text, tsv_comment::kTarget, context.targetPath);
        if (!context.annotationPath.empty()) {
            appendComment(text, regulon_comment::kAnnotation, context.annotationPath);
        }
    }
    appendComment(text, tsv_comment::kCollection, context.collectionPath);
    appendComment(text, tsv_comment::kCollectionTitle, context.collectionTitle);
    std::string method;
    appendInteger(method, context.method);
    appendComment(text, tsv_comment::kMethod, method + " (" + methodLabel(context.method) + ")");
    appendComment(text, tsv_comment::kCutOff, formatGeneralC(context.cutOff, kScoreDigits));
    for (const auto& [key, value] : context.model) {
        appendComment(text, key, value);
    }
}

}  // namespace

void appendRegulonRow(std::string& text, const RegulonRow& row, const RegulonContext& context) {
    appendField(text, context.motifId);
    text += '\t';
    appendField(text, context.motifAltId);
    text += '\t';
    appendInteger(text, row.operon);
    text += '\t';
    appendField(text, row.record);
    text += row.forward ? "\t+\t" : "\t-\t";
    appendInteger(text, row.firstGeneStart);
    text += '\t';
    appendList(text, row.locusTags);
    text += '\t';
    appendList(text, row.geneNames);
    text += '\t';
    appendList(text, row.products);
    text += '\t';
    appendInteger(text, row.windows);
    text += '\t';
    if (row.hasBest) {
        appendInteger(text, row.bestStart);
        text += '\t';
        appendInteger(text, row.bestEnd);
        text += row.bestForward ? "\t+\t" : "\t-\t";
        appendNumber(text, row.bestScore, kScoreDigits);
        text += '\t';
        appendNumber(text, row.bestPValue, 6);
        text += '\t';
        appendField(text, row.bestSite);
    } else {
        text += "\t\t\t\t\t";
    }
    text += '\t';
    appendInteger(text, row.sites);
    text += '\t';
    appendNumber(text, row.log10BayesFactor, 6);
    text += '\t';
    appendNumber(text, row.posterior, 6);
    text += '\n';
}

namespace {

double realOf(std::string_view text) {
    double value = std::numeric_limits<double>::quiet_NaN();
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

template <typename Integer>
Integer integerOf(std::string_view text) {
    Integer value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::vector<std::string> listOf(std::string_view text) {
    std::vector<std::string> items;
    for (const std::string_view item : splitText(text, kRegulonListSeparator)) {
        items.emplace_back(item);
    }
    return items;
}

}  // namespace

std::vector<uint32_t> regulonRowOrder(const std::vector<RegulonRow>& rows) {
    // Rows with evidence first, the strongest first; then by record and
    // operon, which no two rows share: a total order, sorted on compact
    // keys rather than through the rows.
    struct Key {
        double evidence;  // negated: rising sorts the strongest first
        size_t record;
        size_t operon;
        uint32_t row;
        bool unknown;
    };
    std::vector<Key> keys(rows.size());
    for (size_t k = 0; k < rows.size(); ++k) {
        const RegulonRow& row = rows[k];
        const bool unknown = std::isnan(row.log10BayesFactor);
        keys[k] = {unknown ? 0.0 : -row.log10BayesFactor, row.recordNumber, row.operon,
                   static_cast<uint32_t>(k), unknown};
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        if (a.unknown != b.unknown) {
            return b.unknown;
        }
        if (a.evidence != b.evidence) {
            return a.evidence < b.evidence;
        }
        if (a.record != b.record) {
            return a.record < b.record;
        }
        if (a.operon != b.operon) {
            return a.operon < b.operon;
        }
        return a.row < b.row;
    });
    std::vector<uint32_t> order(rows.size());
    for (size_t k = 0; k < keys.size(); ++k) {
        order[k] = keys[k].row;
    }
    return order;
}

void sortRegulonRows(RegulonTable& table) {
    const std::vector<uint32_t> order = regulonRowOrder(table.rows);
    applyOrder(table.rows, order);
    if (table.lines.size() == table.rows.size()) {
        applyOrder(table.lines, order);
    }
}

void writeRegulonTables(const std::vector<const RegulonTable*>& tables, TextSink& out) {
    std::string text;
    text.reserve((size_t{1} << 20) + (size_t{1} << 16));
    for (size_t k = 0; k < tables.size(); ++k) {
        appendComments(text, tables[k]->context, k == 0);
    }
    for (size_t c = 0; c < kRegulonColumnCount; ++c) {
        text += c == 0 ? "" : "\t";
        text += regulonColumnNames()[c];
    }
    text += '\n';
    for (const RegulonTable* table : tables) {
        const bool made = table->lines.size() == table->rows.size();
        for (size_t k = 0; k < table->rows.size(); ++k) {
            if (made) {
                text += table->lines[k];
            } else {
                appendRegulonRow(text, table->rows[k], table->context);
            }
            if (text.size() >= (size_t{1} << 20)) {
                out.write(text);
                text.clear();
            }
        }
    }
    out.write(text);
    out.flush();
}

ReadRegulonTable parseRegulonTable(std::istream& in) {
    ReadRegulonTable table;
    std::string line;
    std::array<int, kRegulonColumnCount> places{};
    places.fill(-1);
    bool header = false;
    while (readTextLine(in, line)) {
        if (!header) {
            if (!line.empty() && line[0] == '#') {
                table.comments.push_back(line);
                continue;
            }
            const std::vector<std::string_view> titles = splitText(line, '\t');
            for (size_t t = 0; t < titles.size(); ++t) {
                for (size_t c = 0; c < kRegulonColumnCount; ++c) {
                    if (titles[t] == regulonColumnNames()[c] && places[c] < 0) {
                        places[c] = static_cast<int>(t);
                    }
                }
            }
            header = true;
            if (places[static_cast<size_t>(RegulonColumn::Operon)] < 0 ||
                places[static_cast<size_t>(RegulonColumn::Posterior)] < 0) {
                return table;
            }
            continue;
        }
        const std::vector<std::string_view> values = splitText(line, '\t');
        const auto field = [&](RegulonColumn column) -> std::string_view {
            const int at = places[static_cast<size_t>(column)];
            return at >= 0 && static_cast<size_t>(at) < values.size()
                       ? values[static_cast<size_t>(at)]
                       : std::string_view();
        };
        ReadRegulonRow read;
        read.motifId = field(RegulonColumn::MotifId);
        RegulonRow& row = read.row;
        row.operon = integerOf<size_t>(field(RegulonColumn::Operon));
        row.record = field(RegulonColumn::Record);
        row.forward = field(RegulonColumn::Strand) != "-";
        row.firstGeneStart = integerOf<int64_t>(field(RegulonColumn::FirstGeneStart));
        row.locusTags = listOf(field(RegulonColumn::LocusTags));
        row.geneNames = listOf(field(RegulonColumn::Genes));
        row.products = listOf(field(RegulonColumn::Products));
        row.windows = integerOf<size_t>(field(RegulonColumn::Windows));
        row.hasBest = !field(RegulonColumn::BestStart).empty();
        row.bestStart = integerOf<int64_t>(field(RegulonColumn::BestStart));
        row.bestEnd = integerOf<int64_t>(field(RegulonColumn::BestEnd));
        row.bestForward = field(RegulonColumn::BestStrand) != "-";
        row.bestScore = realOf(field(RegulonColumn::BestScore));
        row.bestPValue = realOf(field(RegulonColumn::BestPValue));
        row.bestSite = field(RegulonColumn::BestSite);
        row.sites = integerOf<size_t>(field(RegulonColumn::Sites));
        row.log10BayesFactor = realOf(field(RegulonColumn::Log10BayesFactor));
        row.posterior = realOf(field(RegulonColumn::Posterior));
        table.rows.push_back(std::move(read));
    }
    return table;
}

}  // namespace xoprex
