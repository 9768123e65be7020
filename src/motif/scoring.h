// The eleven scoring methods. A window's score is the sum, in position order
// starting from 0, of one term per position; each term depends only on the
// window's letter at that position, the model and the record's background.
// TermTable precomputes those terms for all 256 byte values so the scan adds
// table entries instead of calling the formulas; both paths give the same
// doubles bit for bit.
#pragma once

#include <cstdint>
#include <vector>

#include "base/records.h"
#include "motif/score_distribution.h"
#include "motif/site_collection.h"
#include "seqio/sequence.h"

namespace xoprex {

// Term of `method` at `position` for the window letter `letter`. Methods
// outside 1..11 give 0.
double positionTerm(int method, int position, unsigned char letter,
                    const SiteCollection& collection, const SequenceRecord& background);

// The per-window operation: sets window.score. Methods 4, 8 and 11 also write
// the scratch fields of the position records.
void scoreWindow(int method, SiteHit& window, const SequenceRecord& background,
                 SiteCollection& collection);

// The best score a window of A, C, G and T can have: the sum of each
// position's best term (the highest, or the lowest for methods 2 and 3).
double bestWindowScore(int method, const SiteCollection& collection,
                       const SequenceRecord& background);

// The null model of a window's score under the record's background: the
// terms of A, C, G and T at every position, the background's base
// probabilities (nullBackground) and the method's direction (for
// ScoreDistribution).
NullModel windowNullModel(int method, const SiteCollection& collection,
                          const SequenceRecord& background);

// The base probabilities random sequence is drawn from for p-values: the
// background scaled to sum to 1. A composition background sums to less when
// the record holds letters that count nothing (gaps, U, digits, the
// three-base codes' missing 0.01); the scores keep it as it is. A background
// that counts nothing at all gives the uniform one.
std::array<double, 4> nullBackground(const std::array<double, 4>& frequencies);

class TermTable {
  public:
    TermTable() = default;
    TermTable(int method, const SiteCollection& collection, const SequenceRecord& background);

    int siteLength() const { return siteLength_; }
    // Sum of the terms of window[0..L-1], in position order from 0.
    double score(const char* window) const {
        double sum = 0.0;
        const double* row = terms_.data();
        for (int l = 0; l < siteLength_; ++l, row += 256) {
            sum += row[static_cast<unsigned char>(window[l])];
        }
        return sum;
    }
    // Row of 256 terms for one position.
    const double* row(int position) const { return terms_.data() + position * 256; }

  private:
    int siteLength_ = 0;
    std::vector<double> terms_;  // siteLength_ rows of 256 entries
};

}  // namespace xoprex
