// The integrative neighbourhood: the scores of the W consecutive windows
// centred on a candidate, with running local, upstream and downstream means.
//
// Offsets count windows along the scanned strand; queue index k holds the
// window at offset k - h from the centre (h = (W - 1) / 2). The upstream mean
// covers indices upFirst..upLast (offsets X..Y), the downstream mean
// downFirst..downLast (offsets I..J), the local mean all W entries.
//
// The queue keeps only scores: a candidate's text, position and strand follow
// from where its window starts, so nothing is copied per window. The means
// are updated by single subtractions and additions per window, never summed
// again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "options/options.h"
#include "run/records.h"

namespace xoprex {

class IntegrativeWindow {
  public:
    // Validates options 11..14 (X = upFar, Y = upNear, I = downNear,
    // J = downFar) and sets the sizes. Invalid intervals are fatal
    // (reportFatal), checked in this order: I < Y (overlapping intervals),
    // Y <= X (upstream interval), J <= I (downstream interval). I = Y is valid.
    explicit IntegrativeWindow(const Options& options);

    uint32_t size() const { return w_; }       // W = 2 * max(|X|, |J|) + 1
    uint32_t halfWidth() const { return h_; }  // h = (W - 1) / 2
    uint32_t upFirst() const { return upFirst_; }
    uint32_t upLast() const { return upLast_; }
    uint32_t downFirst() const { return downFirst_; }
    uint32_t downLast() const { return downLast_; }
    uint32_t upCount() const { return upCount_; }
    uint32_t downCount() const { return downCount_; }

    // Sum over the windows slid in during the current pass of score / T (T
    // the pass's text length with its wrap). Reset at every pass, so after a
    // scan it covers the reverse pass; the run stores it as the record's
    // global mean.
    double globalSum = 0.0;
    double localMean = 0.0;
    double upMean = 0.0;
    double downMean = 0.0;

    // Start of a pass: empties the queue and zeroes the sums and means.
    void beginPass();

    // Fill (only for a strand long enough to scan): startFill, then append
    // the scores of queue indices 0, 1, ..., W - 1 in order, then finishFill
    // divides the three sums into means.
    void startFill();
    void fillAppend(double score) {
        const uint64_t k = count_++;
        store(k & mask_, score);
        localMean += score;
        if (upFirst_ <= k && k <= upLast_) {
            upMean += score;
        }
        if (downFirst_ <= k && k <= downLast_) {
            downMean += score;
        }
    }
    void finishFill();

    // Score at queue index k (0 = oldest), k < queuedCount().
    double queued(uint64_t k) const { return scores_[(head_ + k) & mask_]; }
    uint64_t queuedCount() const { return count_; }

    // Slides the neighbourhood over `count` scanned windows. Before each
    // slide, onCentre(i, centreScore, localMean, upMean, downMean) sees the
    // centre window and the current means. A slide subtracts
    // queue[0] / W, queue[upFirst] / upCount and queue[downFirst] / downCount,
    // appends the scanned score and drops the oldest entry, adds
    // queue[W - 1] / W, queue[upLast] / upCount and queue[downLast] /
    // downCount, and, when `global` is true, adds score / textLength to the
    // global sum. Each quotient is computed once, when its score enters the
    // queue, and the same value is subtracted when it leaves. (The scan
    // leaves out the global sum on the first pass, whose sum the next pass
    // resets unread.)
    template <class OnCentre>
    void slideMany(const double* scanned, size_t count, double textLength, bool global,
                   OnCentre&& onCentre) {
        // The quotients of the scanned scores, a block at a time (correctly
        // rounded division, so vector and scalar give the same doubles).
        quotients(scanned, count, textLength, global);
        if (global) {
            slide<true>(scanned, count, onCentre);
        } else {
            slide<false>(scanned, count, onCentre);
        }
    }

  private:
    uint32_t w_ = 0, h_ = 0, upFirst_ = 0, upLast_ = 0, downFirst_ = 0, downLast_ = 0;
    uint32_t upCount_ = 0, downCount_ = 0;
    void store(uint64_t slot, double score) {
        scores_[slot] = score;
        byW_[slot] = score / static_cast<double>(w_);
        byUp_[slot] = score / static_cast<double>(upCount_);
        byDown_[slot] = score / static_cast<double>(downCount_);
    }

    void quotients(const double* scanned, size_t count, double textLength, bool global);
    // Quotients by downCount: those by upCount when the two counts agree.
    const double* blockByDown() const {
        return downCount_ == upCount_ ? blockByUp_.data() : blockByDown_.data();
    }

    template <bool kGlobal, class OnCentre>
    void slide(const double* scanned, size_t count, OnCentre& onCentre) {
        const double* newByW = blockByW_.data();
        const double* newByUp = blockByUp_.data();
        const double* newByDown = blockByDown();
        const double* newByText = blockByText_.data();
        double local = localMean, up = upMean, down = downMean, global = globalSum;
        double* scores = scores_.data();
        double* byW = byW_.data();
        double* byUp = byUp_.data();
        double* byDown = byDown_.data();
        const uint64_t mask = mask_;
        uint64_t head = head_;
        for (size_t i = 0; i < count; ++i) {
            onCentre(i, scores[(head + h_) & mask], local, up, down);
            local -= byW[head];
            up -= byUp[(head + upFirst_) & mask];
            down -= byDown[(head + downFirst_) & mask];
            const uint64_t slot = (head + w_) & mask;
            scores[slot] = scanned[i];
            byW[slot] = newByW[i];
            byUp[slot] = newByUp[i];
            byDown[slot] = newByDown[i];
            head = (head + 1) & mask;
            local += byW[(head + w_ - 1) & mask];
            up += byUp[(head + upLast_) & mask];
            down += byDown[(head + downLast_) & mask];
            if constexpr (kGlobal) {
                global += newByText[i];
            }
        }
        localMean = local;
        upMean = up;
        downMean = down;
        globalSum = global;
        head_ = head;
    }

    // Rings of power-of-two capacity >= W, allocated at the first fill: the
    // queued scores and their quotients by W, upCount and downCount.
    std::vector<double> scores_, byW_, byUp_, byDown_;
    // Quotients of the block being slid in (by W, upCount, downCount, T).
    std::vector<double> blockByW_, blockByUp_, blockByDown_, blockByText_;
    uint64_t mask_ = 0;
    uint64_t head_ = 0;   // ring slot of queue index 0
    uint64_t count_ = 0;  // entries queued (W once filled)
};

}  // namespace xoprex
