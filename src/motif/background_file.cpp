#include "motif/background_file.h"

#include <charconv>
#include <cmath>
#include <memory>
#include <sstream>
#include <string_view>

#include "base/errors.h"
#include "base/file_names.h"
#include "base/text_lines.h"
#include "motif/matrix_formats/reading.h"
#include "motif/motif_math.h"
#include "seqio/input_source.h"

namespace xoprex {
namespace {

[[noreturn]] void refuse(const std::string& name, size_t line, const std::string& problem) {
    throw InputError(InputProblem::Format, name,
                     "Incorrect background file! - " + name +
                         (line > 0 ? ", line " + std::to_string(line) : std::string()) + ": " +
                         problem);
}

}  // namespace

BackgroundFile parseBackgroundFile(std::istream& in, const std::string& name) {
    BackgroundFile background;
    std::array<double, 4> given{};
    std::array<bool, 4> seen{};
    std::string text;
    for (size_t line = 1; readTextLine(in, text); ++line) {
        std::istringstream words(text);
        std::string letter, number;
        if (!(words >> letter) || letter.front() == '#') {
            continue;
        }
        if (letter.size() > 1) {
            ++background.higherOrderLines;
            continue;
        }
        const int base = matrix_formats::baseOfLetter(letter);
        if (base < 0) {
            refuse(name, line, "\"" + letter + "\" is not one of A, C, G, T");
        }
        double value = 0.0;
        words >> number;
        const auto [end, error] =
            std::from_chars(number.data(), number.data() + number.size(), value);
        if (number.empty() || error != std::errc() || end != number.data() + number.size() ||
            !std::isfinite(value) || value < 0.0) {
            refuse(name, line, "\"" + number + "\" is not a probability");
        }
        if (seen[static_cast<size_t>(base)]) {
            refuse(name, line, letter + " is given twice");
        }
        seen[static_cast<size_t>(base)] = true;
        given[static_cast<size_t>(base)] = value;
    }
    double sum = 0.0;
    for (int b = 0; b < 4; ++b) {
        if (!seen[static_cast<size_t>(b)]) {
            refuse(name, 0, std::string("no probability of ") + "ACGT"[b]);
        }
        sum += given[static_cast<size_t>(b)];
    }
    if (!(sum > 0.0)) {
        refuse(name, 0, "the probabilities sum to 0");
    }
    // Probabilities that sum to 1 (as printed, within 1e-6) are taken as
    // they are; others are scaled to.
    background.scaled = std::fabs(sum - 1.0) > 1e-6;
    for (size_t b = 0; b < 4; ++b) {
        background.frequencies[b] = background.scaled ? given[b] / sum : given[b];
    }
    // As a composition background's entropy (p log2 p taken as 0 at p = 0).
    const auto plogp = [](double p) { return p > 0.0 ? p * motif_detail::log2Bits(p) : 0.0; };
    const auto& p = background.frequencies;
    background.entropy = 0.0 - (plogp(p[0]) + plogp(p[1]) + plogp(p[2]) + plogp(p[3]));
    return background;
}

BackgroundFile readBackgroundFile(const std::string& path) {
    const std::unique_ptr<InputSource> source = InputSource::open(path, NameRule::Wide);
    if (source == nullptr) {
        throw cannotOpen(path);
    }
    std::istringstream in(source->readAll());
    return parseBackgroundFile(in, source->name());
}

void applyBackground(SequenceRecord& record, const BackgroundFile& background) {
    record.backgroundFrequencies = background.frequencies;
    record.backgroundEntropy = background.entropy;
}

}  // namespace xoprex
