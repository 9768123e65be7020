// Micro benchmark for ScoreDistribution: construction, cut-off search and
// tail() lookups of hit scores, for typical motif lengths.
//
// Hit scores are the scores of windows drawn from an exponentially tilted
// background (so that most of them pass the cut-off) and kept if they pass
// cutOffFor(1e-4): their distribution resembles the hits of a genome scan.
// "cold" includes the lazy refinements the first lookups trigger; "warm"
// repeats the same lookups.  Every figure is the best of several runs.

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "motif/score_distribution.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Log-odds matrix of a motif of `length` columns built from 20 sites drawn
// from Dirichlet(0.5) column frequencies.
xoprex::NullModel makeMotif(std::size_t length, std::array<double, 4> background,
                            std::mt19937_64& rng) {
    std::gamma_distribution<double> gamma(0.5, 1.0);
    xoprex::NullModel model;
    model.background = background;
    for (std::size_t l = 0; l < length; ++l) {
        std::array<double, 4> f{};
        double sum = 0;
        for (double& x : f) sum += (x = gamma(rng) + 1e-9);
        std::array<double, 4> row{};
        for (int b = 0; b < 4; ++b) {
            row[b] = std::log2((20 * f[b] / sum + background[b]) / (21 * background[b]));
        }
        model.terms.push_back(row);
    }
    return model;
}

double score(const xoprex::NullModel& model, const std::vector<int>& word) {
    double s = 0.0;
    for (std::size_t l = 0; l < word.size(); ++l) s += model.terms[l][word[l]];
    return s;
}

// Letters drawn with probability proportional to p[b] * 2^(theta * T[l][b]).
struct TiltedSampler {
    std::vector<std::array<double, 4>> cumulative;

    TiltedSampler(const xoprex::NullModel& model, double theta) {
        for (const auto& row : model.terms) {
            std::array<double, 4> c{};
            double sum = 0;
            for (int b = 0; b < 4; ++b) {
                sum += model.background[b] * std::exp2(theta * row[b]);
                c[b] = sum;
            }
            for (double& x : c) x /= sum;
            cumulative.push_back(c);
        }
    }

    double mean(const xoprex::NullModel& model) const {
        double m = 0;
        for (std::size_t l = 0; l < cumulative.size(); ++l) {
            double prev = 0;
            for (int b = 0; b < 4; ++b) {
                m += (cumulative[l][b] - prev) * model.terms[l][b];
                prev = cumulative[l][b];
            }
        }
        return m;
    }

    void draw(std::mt19937_64& rng, std::vector<int>& word) const {
        std::uniform_real_distribution<double> u(0, 1);
        for (std::size_t l = 0; l < cumulative.size(); ++l) {
            const double r = u(rng);
            int b = 0;
            while (b < 3 && r >= cumulative[l][b]) ++b;
            word[l] = b;
        }
    }
};

std::vector<double> hitScores(const xoprex::NullModel& model, double cutOff, std::size_t count,
                              std::mt19937_64& rng) {
    double lo = 0, hi = 16;  // theta with tilted mean at the cut-off
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2;
        (TiltedSampler(model, mid).mean(model) < cutOff ? lo : hi) = mid;
    }
    const TiltedSampler sampler(model, hi);
    std::vector<int> word(model.terms.size());
    std::vector<double> hits;
    for (std::size_t tries = 0; hits.size() < count && tries < 100 * count; ++tries) {
        sampler.draw(rng, word);
        const double s = score(model, word);
        if (s > cutOff)
            hits.push_back(s);
    }
    return hits;
}

// Smallest of `reps` timings of f(), in milliseconds: the machine may be
// shared, and the minimum is the least disturbed run.
template <class F>
double bestOf(int reps, F&& f) {
    double best = 1e300;
    for (int i = 0; i < reps; ++i) {
        const auto t0 = Clock::now();
        f();
        best = std::min(best, msSince(t0));
    }
    return best;
}

void run(std::size_t length, std::array<double, 4> background, const char* name) {
    std::mt19937_64 rng(1234 + length);
    const xoprex::NullModel model = makeMotif(length, background, rng);
    constexpr int kReps = 5;
    double sink = 0;

    const double buildMs = bestOf(3 * kReps, [&] {
        xoprex::ScoreDistribution d(model);
        sink += d.length();
    });
    // Cut-off search on a fresh distribution: includes the refinements it needs.
    xoprex::ScoreCutOff cut{};
    const double cutMs = bestOf(kReps, [&] {
        xoprex::ScoreDistribution d(model);
        cut = d.cutOffFor(1e-4);
    });

    const std::vector<double> hits = hitScores(model, cut.score, 100000, rng);
    // Cold: a fresh distribution pays for every refinement the hits need.
    const double coldMs = bestOf(kReps, [&] {
        xoprex::ScoreDistribution d(model);
        for (double s : hits) sink += d.tail(s);
    });
    const xoprex::ScoreDistribution dist(model);
    for (double s : hits) sink += dist.tail(s);
    const double warmMs = bestOf(kReps, [&] {
        for (double s : hits) sink += dist.tail(s);
    });

    std::vector<int> word(length);
    std::uniform_int_distribution<int> letter(0, 3);
    std::vector<double> bulk(100000);
    for (double& s : bulk) {
        for (int& b : word) b = letter(rng);
        s = score(model, word);
    }
    const double bulkMs = bestOf(kReps, [&] {
        for (double s : bulk) sink += dist.tail(s);
    });

    double minP = 1;
    for (double s : hits) minP = std::min(minP, dist.tail(s));
    std::printf(
        "L=%2zu %-7s build %6.2f ms | cutOffFor(1e-4) %6.2f ms | %6zu hits "
        "(p %.0e..1e-4): cold %6.2f ms, warm %5.2f ms | 1e5 random windows "
        "%5.2f ms%s\n",
        length, name, buildMs, cutMs, hits.size(), minP, coldMs, warmMs, bulkMs,
        sink < 0 ? "!" : "");
}

}  // namespace

int main() {
    const std::array<double, 4> uniform{0.25, 0.25, 0.25, 0.25};
    const std::array<double, 4> skewed{0.3, 0.2, 0.2, 0.3};
    for (std::size_t length : {6, 12, 19, 30, 60}) {
        run(length, uniform, "uniform");
        run(length, skewed, "skewed");
    }
    return 0;
}
