// Redundant matches: a hit that passed the cut-off is paired with the first
// kept hit (in list order) of the other strand whose position is the new
// hit's position + L or - L; only the better of the two stays, at the earlier
// hit's place in the list. Equal or incomparable scores keep the earlier hit.
//
// RedundancyIndex finds that partner without walking the list: it maps
// (strand, position) to the list indices holding it, in increasing order, and
// is kept current through appends and in-place replacements. Lookups cost
// one probe of a flat hash table, so the rule stays linear in the number of
// kept hits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/records.h"

namespace xoprex::scan_detail {

inline constexpr size_t kNoPartner = static_cast<size_t>(-1);

class RedundancyIndex {
  public:
    RedundancyIndex() = default;
    explicit RedundancyIndex(const std::vector<SiteHit>& hits) { rebuild(hits); }

    void rebuild(const std::vector<SiteHit>& hits);

    // Room for `more` appends beyond the entries already indexed, so that
    // the table and the chains are sized once instead of doubling.
    void reserve(size_t more);

    // First list index whose strand differs from `strand` and whose position
    // is position + length or position - length; kNoPartner when none.
    size_t findPartner(bool strand, int64_t position, int32_t length) const;

    // Entry `index` (the new last index) was appended.
    void appended(size_t index, bool strand, int64_t position);
    void appended(size_t index, const SiteHit& hit) { appended(index, hit.strand, hit.position); }
    // Entry `index` moved from (strand, position) `before` to `after`.
    void replaced(size_t index, bool strandBefore, int64_t positionBefore, bool strandAfter,
                  int64_t positionAfter);
    void replaced(size_t index, const SiteHit& before, const SiteHit& after) {
        replaced(index, before.strand, before.position, after.strand, after.position);
    }

  private:
    static constexpr uint32_t kEnd = UINT32_MAX;
    static uint64_t key(bool strand, int64_t position);
    size_t firstWith(bool strand, int64_t position) const;
    void insert(uint32_t index, uint64_t key);
    void remove(uint32_t index, uint64_t key);

    // Open-addressing table (linear probing) from key to the smallest list
    // index holding it; a key whose entries all moved away keeps its slot
    // with kEnd, so slots are never removed.
    struct Slot {
        uint64_t key;
        uint32_t head;
    };
    static constexpr uint64_t kEmptyKey = UINT64_MAX;
    const Slot* find(uint64_t key) const;
    Slot& findOrAdd(uint64_t key);
    void grow(size_t capacity);

    std::vector<Slot> slots_;
    size_t used_ = 0;
    int shift_ = 64;
    std::vector<uint32_t> next_;  // index -> next index with the same key
};

enum class RedundancyOutcome { Appended, Replaced, Dropped };

// Applies the rule to `hit` against `hits` (index kept in step): appends it
// when it has no partner, overwrites the partner with it when it scores
// strictly better, drops it otherwise.
RedundancyOutcome resolveRedundant(std::vector<SiteHit>& hits, RedundancyIndex& index,
                                   const SiteHit& hit, bool lowerIsBetterScore);

// The literal list walk; the reference the index must agree with.
size_t findPartnerByWalk(const std::vector<SiteHit>& hits, const SiteHit& hit);

}  // namespace xoprex::scan_detail
