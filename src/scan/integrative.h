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

#include "base/records.h"
#include "options/options.h"

namespace xoprex {

class IntegrativeWindow {
  public:
    // Validates options 11..14 (X = upFar, Y = upNear, I = downNear,
    // J = downFar) and sets the sizes. Invalid intervals are fatal
    // (InputError), checked in this order: I < Y (overlapping intervals),
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
        store(k, score);
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
    double queued(uint64_t k) const { return scores_[base_ + k]; }
    uint64_t queuedCount() const { return count_; }

    // Most windows one slide may take.
    static constexpr size_t kBlock = 4096;
    // Where the scores of the next (at most kBlock) scanned windows go
    // before slideIncoming; valid after the fill.
    double* incoming() { return scores_.data() + base_ + w_; }

    // Slides the neighbourhood over the `count` scores written at
    // incoming(). Before each slide, onCentre(i, centreScore, localMean,
    // upMean, downMean) sees the centre window and the current means. A
    // slide subtracts queue[0] / W, queue[upFirst] / upCount and
    // queue[downFirst] / downCount, appends the scanned score and drops the
    // oldest entry, adds queue[W - 1] / W, queue[upLast] / upCount and
    // queue[downLast] / downCount, and, when `global` is true, adds
    // score / textLength to the global sum. Each quotient is computed once,
    // when its score enters the queue, and the same value is subtracted when
    // it leaves. (The scan leaves out the global sum on the first pass, whose
    // sum the next pass resets unread.)
    template <class OnCentre>
    void slideIncoming(size_t count, double textLength, bool global, OnCentre&& onCentre) {
        // The quotients of the scanned scores, a block at a time (correctly
        // rounded division, so vector and scalar give the same doubles).
        quotients(count, textLength, global);
        if (global) {
            slide<true>(count, onCentre);
        } else {
            slide<false>(count, onCentre);
        }
        shiftQueue(count);
    }

  private:
    uint32_t w_ = 0, h_ = 0, upFirst_ = 0, upLast_ = 0, downFirst_ = 0, downLast_ = 0;
    uint32_t upCount_ = 0, downCount_ = 0;
    void store(uint64_t k, double score) {
        scores_[k] = score;
        byW_[k] = score / static_cast<double>(w_);
        byUp_[k] = score / static_cast<double>(upCount_);
        byDown_[k] = score / static_cast<double>(downCount_);
    }

    void quotients(size_t count, double textLength, bool global);
    // Advances the queue by `count` entries; when the next block would not
    // fit behind it, moves the W entries of each history to its front (at
    // most once every max(W, kBlock) windows, so the copy stays small per
    // window however wide the neighbourhood).
    void shiftQueue(size_t count);
    // Quotients by downCount: those by upCount when the two counts agree.
    const double* historyByDown() const {
        return downCount_ == upCount_ ? byUp_.data() : byDown_.data();
    }

    // The queue is entries base .. base + W - 1 of flat histories; a slide
    // block appends up to kBlock entries behind it, so entry base + i + k is
    // queue index k after i slides, and the indices of every term are plain
    // offsets.
    template <bool kGlobal, class OnCentre>
    void slide(size_t count, OnCentre& onCentre) {
        const double* scores = scores_.data() + base_;
        const double* byW = byW_.data() + base_;
        const double* byUp = byUp_.data() + base_;
        const double* byDown = historyByDown() + base_;
        const double* byText = byText_.data();
        const double* leaveUp = byUp + upFirst_;
        const double* leaveDown = byDown + downFirst_;
        const double* enterW = byW + w_;
        const double* enterUp = byUp + upLast_ + 1;
        const double* enterDown = byDown + downLast_ + 1;
        const double* centres = scores + h_;
        double local = localMean, up = upMean, down = downMean, globalTotal = globalSum;
        for (size_t i = 0; i < count; ++i) {
            onCentre(i, centres[i], local, up, down);
            local -= byW[i];
            up -= leaveUp[i];
            down -= leaveDown[i];
            local += enterW[i];
            up += enterUp[i];
            down += enterDown[i];
            if constexpr (kGlobal) {
                globalTotal += byText[i];
            }
        }
        localMean = local;
        upMean = up;
        downMean = down;
        globalSum = globalTotal;
    }

    // Histories of W + max(W, kBlock) entries, allocated at the first fill: the
    // scores and their quotients by W, upCount and downCount; and the
    // quotients by T of the block being slid in.
    std::vector<double> scores_, byW_, byUp_, byDown_, byText_;
    uint64_t count_ = 0;  // entries queued (W once filled)
    size_t base_ = 0;     // history entry of queue index 0
};

// Integrative mode's cut-off and scores. relaxCutOff moves the cut-off by
// the relaxation R so that more windows pass: times R for methods 2 and 3,
// divided by R otherwise; a negative cut-off takes the other operation
// (dividing it by R would make it stricter). rescoreHits multiplies each
// score by upMean over the chosen reference (global mean, local mean or down
// mean; the reciprocal when both are negative), keeping each hit's own
// window score in out.windowScores. out.globalMean is the record's global
// mean.
void relaxCutOff(Options& options);
void rescoreHits(RecordHits& out, const Options& options);

}  // namespace xoprex
