// The integrative neighbourhood: a queue of the W scored windows around a
// candidate with running local, upstream and downstream means.
#pragma once

#include <cstdint>
#include <deque>

#include "options/options.h"
#include "run/records.h"

namespace xoprex {

class IntegrativeWindow {
public:
    // Validates options 11..14 (fatal on invalid intervals) and sets the sizes.
    explicit IntegrativeWindow(const Options& options);

    uint32_t size() const { return w_; }          // W
    uint32_t halfWidth() const { return h_; }     // h = (W - 1) / 2
    uint32_t upFirst() const { return upFirst_; }
    uint32_t upLast() const { return upLast_; }
    uint32_t downFirst() const { return downFirst_; }
    uint32_t downLast() const { return downLast_; }
    uint32_t upCount() const { return upCount_; }
    uint32_t downCount() const { return downCount_; }

    double globalSum = 0.0;
    double localMean = 0.0;
    double upMean = 0.0;
    double downMean = 0.0;
    std::deque<SiteHit> queue;

private:
    uint32_t w_ = 0, h_ = 0, upFirst_ = 0, upLast_ = 0, downFirst_ = 0, downLast_ = 0;
    uint32_t upCount_ = 0, downCount_ = 0;
};

}  // namespace xoprex
