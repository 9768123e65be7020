#include "seqio/gff3_reader.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>

#include "base/errors.h"
#include "base/file_names.h"
#include "base/text_lines.h"
#include "seqio/input_source.h"

namespace xoprex {
namespace {

[[noreturn]] void refuse(const std::string& name, size_t line, const std::string& problem) {
    throw InputError(
        InputProblem::Format, name,
        "Incorrect annotation file! - " + name + ", line " + std::to_string(line) + ": " + problem);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// The text with its %XX escapes decoded; nullopt for a bad escape.
std::optional<std::string> percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 1 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

// One feature line's columns as the genes need them.
struct FeatureLine {
    std::string seqid;
    std::string_view type;
    int64_t start = 0;
    int64_t end = 0;
    char strand = '.';
    std::vector<std::pair<std::string, std::string>> attributes;

    const std::string* attribute(std::string_view key) const {
        for (const auto& [k, v] : attributes) {
            if (k == key) {
                return &v;
            }
        }
        return nullptr;
    }
    std::string text(std::string_view key) const {
        const std::string* value = attribute(key);
        return value == nullptr ? std::string() : *value;
    }
};

int64_t coordinate(std::string_view text, const std::string& name, size_t line, const char* what) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > INT32_MAX) {
        refuse(name, line,
               std::string("the ") + what + " \"" + std::string(text) +
                   "\" is not a whole number from 1 to 2147483647");
    }
    return value;
}

FeatureLine parseFeature(std::string_view text, const std::string& name, size_t line) {
    const std::vector<std::string_view> columns = splitText(text, '\t');
    if (columns.size() != 9) {
        refuse(name, line,
               std::to_string(columns.size()) + " tab-separated columns instead of nine");
    }
    FeatureLine feature;
    const std::optional<std::string> seqid = percentDecoded(columns[0]);
    if (!seqid || seqid->empty()) {
        refuse(name, line, "the sequence name \"" + std::string(columns[0]) + "\" is not valid");
    }
    feature.seqid = *seqid;
    feature.type = columns[2];
    feature.start = coordinate(columns[3], name, line, "start");
    feature.end = coordinate(columns[4], name, line, "end");
    if (feature.end < feature.start) {
        refuse(name, line,
               "the end " + std::to_string(feature.end) + " lies before the start " +
                   std::to_string(feature.start));
    }
    const std::string_view strand = columns[6];
    if (strand.size() != 1 || std::string_view("+-.?").find(strand[0]) == std::string_view::npos) {
        refuse(name, line, "the strand \"" + std::string(strand) + "\" is none of + - . ?");
    }
    feature.strand = strand[0];
    if (columns[8] == ".") {
        return feature;
    }
    for (std::string_view part : splitText(columns[8], ';')) {
        while (!part.empty() && part.front() == ' ') {
            part.remove_prefix(1);
        }
        if (part.empty()) {
            continue;
        }
        const size_t equals = part.find('=');
        const std::optional<std::string> key = equals == std::string_view::npos
                                                   ? std::nullopt
                                                   : percentDecoded(part.substr(0, equals));
        const std::optional<std::string> value = equals == std::string_view::npos
                                                     ? std::nullopt
                                                     : percentDecoded(part.substr(equals + 1));
        if (!key || key->empty() || !value) {
            refuse(name, line, "the attribute \"" + std::string(part) + "\" is not KEY=VALUE");
        }
        feature.attributes.emplace_back(*key, *value);
    }
    return feature;
}

// The features that become genes, as they are gathered.
struct Gathered {
    std::string seqid;
    AnnotatedGene annotated;
    int64_t low = 0;
    int64_t high = 0;
    std::string parent;
};

void widen(Gathered& gathered, const FeatureLine& feature) {
    gathered.low = std::min(gathered.low, feature.start);
    gathered.high = std::max(gathered.high, feature.end);
}

Gathered gathered(const FeatureLine& feature, size_t line, const std::string& name) {
    if (feature.strand != '+' && feature.strand != '-') {
        refuse(name, line,
               "a " + std::string(feature.type) + " feature needs the strand + or -, not " +
                   feature.strand);
    }
    Gathered made;
    made.seqid = feature.seqid;
    made.annotated.line = line;
    made.annotated.gene.sense = feature.strand == '+';
    made.annotated.gene.locus = feature.text("locus_tag");
    made.annotated.gene.gene = feature.text("gene");
    made.annotated.gene.product = feature.text("product");
    made.low = feature.start;
    made.high = feature.end;
    const std::string parents = feature.text("Parent");
    made.parent = parents.substr(0, parents.find(','));
    return made;
}

struct ParentTexts {
    std::string locus;
    std::string gene;
};

}  // namespace

GeneAnnotation parseGff3(std::istream& in, const std::string& name) {
    std::vector<Gathered> cds;
    std::vector<Gathered> genes;
    std::unordered_map<std::string, size_t> cdsById;
    std::unordered_map<std::string, ParentTexts> geneTexts;
    std::string text;
    for (size_t line = 1; readTextLine(in, text); ++line) {
        if (text.rfind("##FASTA", 0) == 0) {
            break;
        }
        if (text.empty() || text[0] == '#' || text.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        const FeatureLine feature = parseFeature(text, name, line);
        if (feature.type == "gene") {
            Gathered gene = gathered(feature, line, name);
            // NCBI names a gene without a symbol by its locus tag.
            const std::string symbol = feature.text("Name");
            if (gene.annotated.gene.gene.empty() && symbol != gene.annotated.gene.locus) {
                gene.annotated.gene.gene = symbol;
            }
            if (const std::string* id = feature.attribute("ID")) {
                geneTexts[*id] = {gene.annotated.gene.locus, gene.annotated.gene.gene};
            }
            genes.push_back(std::move(gene));
        } else if (feature.type == "CDS") {
            const std::string* id = feature.attribute("ID");
            if (id != nullptr) {
                const auto found = cdsById.find(*id);
                if (found != cdsById.end() && cds[found->second].seqid == feature.seqid) {
                    widen(cds[found->second], feature);
                    continue;
                }
                cdsById[*id] = cds.size();
            }
            cds.push_back(gathered(feature, line, name));
        }
    }
    if (in.bad()) {
        throw InputError(InputProblem::Unreadable, name, "Cannot read " + name);
    }
    std::vector<Gathered>& taken = cds.empty() ? genes : cds;
    GeneAnnotation annotation;
    annotation.name = name;
    for (Gathered& made : taken) {
        GeneRecord& gene = made.annotated.gene;
        if (const auto parent = geneTexts.find(made.parent); parent != geneTexts.end()) {
            if (gene.locus.empty()) {
                gene.locus = parent->second.locus;
            }
            if (gene.gene.empty()) {
                gene.gene = parent->second.gene;
            }
        }
        gene.begin = static_cast<int32_t>(gene.sense ? made.low : made.high);
        gene.end = static_cast<int32_t>(gene.sense ? made.high : made.low);
        annotation.genes[made.seqid].push_back(std::move(made.annotated));
    }
    return annotation;
}

GeneAnnotation readGff3File(const std::string& path) {
    const std::unique_ptr<InputSource> source = InputSource::open(path, NameRule::Wide);
    if (source == nullptr) {
        throw cannotOpen(path);
    }
    std::istringstream in(source->readAll());
    return parseGff3(in, source->name());
}

}  // namespace xoprex
