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

    // Sum over the windows slid in during the current pass of score / T.
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
        ring_[k & mask_] = score;
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
    double queued(uint64_t k) const { return ring_[(head_ + k) & mask_]; }
    uint64_t queuedCount() const { return count_; }
    double centreScore() const { return queued(h_); }

    // Moves the neighbourhood on by one window: the oldest entry leaves, the
    // scanned window's score enters; textLength is the divisor of the global
    // sum.
    void slide(double score, double textLength) {
        const double w = w_;
        const double up = upCount_;
        const double down = downCount_;
        localMean -= ring_[head_] / w;
        upMean -= queued(upFirst_) / up;
        downMean -= queued(downFirst_) / down;
        ring_[(head_ + w_) & mask_] = score;
        head_ = (head_ + 1) & mask_;
        localMean += queued(w_ - 1) / w;
        upMean += queued(upLast_) / up;
        downMean += queued(downLast_) / down;
        globalSum += score / textLength;
    }

  private:
    uint32_t w_ = 0, h_ = 0, upFirst_ = 0, upLast_ = 0, downFirst_ = 0, downLast_ = 0;
    uint32_t upCount_ = 0, downCount_ = 0;
    std::vector<double> ring_;  // power-of-two capacity >= W, allocated at the first pass
    uint64_t mask_ = 0;
    uint64_t head_ = 0;   // ring slot of queue index 0
    uint64_t count_ = 0;  // entries queued (W once filled)
};

}  // namespace xoprex
