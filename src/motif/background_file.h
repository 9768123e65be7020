// A background file: the base probabilities random sequence is drawn from,
// for the scores and p-values of every record. One "LETTER PROBABILITY" line
// a base ("A 0.29"); blank lines and lines starting with '#' skipped; lines
// whose first word has more letters (the higher orders of a Markov
// background, "AA 0.09") are read and passed over. Raises InputError (Format)
// naming the file and the line for a probability that is not a number, is
// negative or is given twice, a letter other than A, C, G, T (either case) or
// a base without a line; a file that cannot be read raises Unreadable.
#pragma once

#include <array>
#include <cstddef>
#include <istream>
#include <string>

#include "seqio/sequence.h"

namespace xoprex {

struct BackgroundFile {
    // A, C, G, T as the file gives them, or scaled to sum to 1 when they do
    // not (within 1e-6).
    std::array<double, 4> frequencies{0.25, 0.25, 0.25, 0.25};
    double entropy = 2.0;         // -sum p log2 p, in the program's bits
    size_t higherOrderLines = 0;  // lines passed over
    bool scaled = false;          // the file's four did not sum to 1 (within 1e-6)
};

BackgroundFile parseBackgroundFile(std::istream& in, const std::string& name);
// Reads the file at `path` (gzip data decompressed, "-" standard input).
BackgroundFile readBackgroundFile(const std::string& path);

// Gives the record the file's background, as a composition background
// would be given.
void applyBackground(SequenceRecord& record, const BackgroundFile& background);

}  // namespace xoprex
