// The scan of one record through the record's term table: every window is
// scored by adding its terms in position order, many windows at a time
// (WindowKernel), with results identical to one window at a time, on
// control.threads threads. Within a run the table depends only on the
// record's background, so a ScanCache reuses the table and kernel of the
// previous record when the background is the same (every record of a
// many-record target has the default one).
#include "scan/scan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <iterator>
#include <memory>

#include "base/cpu_features.h"
#include "motif/scoring.h"
#include "scan/detail/simd.h"
#include "scan/detail/strand_scan.h"
#include "scan/detail/window_kernel.h"
#include "scan/integrative.h"
#include "scan/reverse_complement.h"
#include "scan/sort.h"

namespace xoprex {

using scan_detail::scanTextWith;
using scan_detail::WindowKernel;

void reserveHitCapacity(RecordHits& out, size_t textLength, const MotifModel& model) {
    // Four times the expected number of chance matches, N / 2^RE. Only a
    // hint (the scan grows the list to its exact size itself), so it is
    // capped at N and at kMaxReservedHits, and skipped when it is not a
    // usable number.
    // log10(N) / lambda is log2(N), below the bit width of N: a hint that
    // stays below 1 by a margin needs no logarithms (most short records).
    const double bits = static_cast<double>(std::bit_width(textLength));
    if (bits + 2.0 - model.totalRelativeEntropy < -0.01) {
        return;
    }
    const double n = static_cast<double>(textLength);
    const double expected = std::trunc(
        4.0 * std::exp(std::log(2.0) * (std::log10(n) / kLambda - model.totalRelativeEntropy)));
    if (!(expected >= 1.0)) {
        return;
    }
    constexpr double kMaxReservedHits = 65536.0;
    const size_t wanted = static_cast<size_t>(std::min({expected, n, kMaxReservedHits}));
    if (out.hits.capacity() < wanted) {
        out.hits.reserve(wanted);
    }
}

void shrinkHitList(RecordHits& out) {
    auto& hits = out.hits;
    if (hits.capacity() == hits.size()) {
        return;  // already exact
    }
    std::vector<SiteHit> exact;
    exact.reserve(hits.size());
    std::move(hits.begin(), hits.end(), std::back_inserter(exact));
    hits.swap(exact);
}

struct ScanCache::Entry {
    int method = 0;
    const SiteCollection* collection = nullptr;
    std::array<double, 4> frequencies{};
    double entropy = 0.0;
    TermTable table;
    std::unique_ptr<WindowKernel> kernel;

    bool matches(int m, const SiteCollection& c, const SequenceRecord& record) const {
        return method == m && collection == &c && frequencies == record.backgroundFrequencies &&
               entropy == record.backgroundEntropy;
    }
    const WindowKernel& kernelFor(int m, const SiteCollection& c, const SequenceRecord& record) {
        if (kernel == nullptr || !matches(m, c, record)) {
            kernel.reset();
            method = m;
            collection = &c;
            frequencies = record.backgroundFrequencies;
            entropy = record.backgroundEntropy;
            table = TermTable(m, c, record);
            kernel = std::make_unique<WindowKernel>(table);
        }
        return *kernel;
    }
};

ScanCache::ScanCache() = default;
ScanCache::~ScanCache() = default;

ScanCache::Entry& ScanCache::entry() {
    if (entry_ == nullptr) {
        entry_ = std::make_unique<Entry>();
    }
    return *entry_;
}

namespace {

void scan(const SequenceRecord& record, const SiteCollection& collection, const Options& options,
          IntegrativeWindow& window, RecordHits& out, const ScanControl& control, ScanCache* cache,
          const Options* sortedFor) {
    ScanCache local;
    ScanCache::Entry& entry = (cache != nullptr ? *cache : local).entry();
    const WindowKernel& kernel = entry.kernelFor(options.method, collection, record);
    scanTextWith(record.sequence, entry.table.siteLength(), kernel, options, window, out, control,
                 sortedFor, record.topology == Topology::Linear);
}

}  // namespace

void scanRecord(const SequenceRecord& record, const SiteCollection& collection,
                const Options& options, IntegrativeWindow& window, RecordHits& out,
                const ScanControl& control, ScanCache* cache) {
    scan(record, collection, options, window, out, control, cache, nullptr);
}

void findHits(const SequenceRecord& record, const SiteCollection& collection,
              const Options& options, IntegrativeWindow& window, RecordHits& out,
              const ScanControl& control, ScanCache* cache) {
    reserveHitCapacity(out, record.sequence.size(), collection.model);
    // Nothing re-scores the hits of a plain scan before they are sorted: the
    // scan makes them in that order already, which saves moving every hit.
    const bool plain = !options.integrative && out.hits.empty();
    scan(record, collection, options, window, out, control, cache, plain ? &options : nullptr);
    shrinkHitList(out);
    if (options.integrative) {
        out.globalMean = window.globalSum;
        rescoreHits(out, options);
    }
    sortHits(options, out);
}

void findHitsOfEach(const SequenceRecord& record, const std::vector<CollectionScan>& scans,
                    const ScanControl& control) {
    using namespace scan_detail;
    const std::string& text = record.sequence;
    const bool complementable = fullyComplementable(text.data(), text.size());
    std::vector<ScanCache> locals(scans.size());
    std::vector<const WindowKernel*> kernels(scans.size());
    std::vector<size_t> together, alone;
    for (size_t k = 0; k < scans.size(); ++k) {
        const CollectionScan& scan = scans[k];
        ScanCache::Entry& entry = (scan.cache != nullptr ? *scan.cache : locals[k]).entry();
        kernels[k] = &entry.kernelFor(scan.options->method, *scan.collection, record);
        const bool shared = !scan.options->integrative && scan.out->hits.empty() &&
                            complementable && kernels[k]->scoresBothStrands();
        (shared ? together : alone).push_back(k);
    }
    if (together.size() == 1) {
        alone.insert(alone.begin(), together.front());
        together.clear();
    }
    // Each scan's share of the progress: its windows over all the scans'.
    const double all = static_cast<double>(scans.size());
    const auto progressFrom = [&control, all](double done, double part) {
        ScanControl step = control;
        if (control.onProgress) {
            step.onProgress = [&control, all, done, part](double share) {
                control.onProgress((done + share * part) / all);
            };
        }
        return step;
    };

    if (!together.empty()) {
        // Frames that report nothing: the pass has one ticker for all.
        ScanControl quiet = control;
        quiet.onProgress = nullptr;
        quiet.cancel = nullptr;
        std::vector<std::unique_ptr<ScanFrame>> frames;
        std::vector<std::unique_ptr<StrandScan>> strandScans;
        std::vector<PairScan> pairs;
        for (const size_t k : together) {
            const CollectionScan& scan = scans[k];
            const Options& options = *scan.options;
            reserveHitCapacity(*scan.out, text.size(), scan.collection->model);
            frames.push_back(std::make_unique<ScanFrame>(
                text.size(), kernels[k]->siteLength(), options, *scan.window, quiet, *scan.out,
                &options, record.topology == Topology::Linear));
            strandScans.push_back(
                std::make_unique<StrandScan>(*frames.back(), control.threads, false));
            StrandScan& strandScan = *strandScans.back();
            prepareJob(strandScan.jobs[0], text, true, *frames.back());
            strandScan.readBackwards = true;
            pairs.push_back({&strandScan, kernels[k]});
        }
        const ScanControl step = progressFrom(0.0, static_cast<double>(together.size()));
        ProgressTicker ticker(step, 2.0 * static_cast<double>(text.size() * together.size()));
        scanPlainBothEach(pairs, text, std::max(1u, control.threads), ticker);
        for (size_t t = 0; t < together.size(); ++t) {
            const CollectionScan& scan = scans[together[t]];
            StrandScan& strandScan = *strandScans[t];
            keepFound(strandScan, strandScan.backwardsReader(text));
            scan.out->windowsScored += windowsTested(strandScan, text, control.skipAmbiguous);
            shrinkHitList(*scan.out);
            sortHits(*scan.options, *scan.out);
        }
    }
    for (size_t a = 0; a < alone.size(); ++a) {
        const CollectionScan& scan = scans[alone[a]];
        const ScanControl step = progressFrom(static_cast<double>(together.size() + a), 1.0);
        findHits(record, *scan.collection, *scan.options, *scan.window, *scan.out, step,
                 scan.cache != nullptr ? scan.cache : &locals[alone[a]]);
    }
}

RecordInfo recordInfo(const SequenceRecord& record, size_t index) {
    RecordInfo info;
    info.number = index + 1;
    info.format = record.format;
    info.description = record.description;
    info.name = record.name.empty() ? "record_" + std::to_string(index + 1) : record.name;
    info.length = record.sequence.size();
    if (!fullyComplementable(record.sequence.data(), record.sequence.size())) {
        for (size_t i = 0; i < record.sequence.size(); ++i) {
            if (complementOf(static_cast<unsigned char>(record.sequence[i])) == '\0') {
                info.uncomplemented.push_back(i);
            }
        }
    }
    info.backgroundFrequencies = record.backgroundFrequencies;
    info.backgroundEntropy = record.backgroundEntropy;
    return info;
}

std::array<size_t, 4> countBases(const char* text, size_t n) {
    std::array<size_t, 4> counts{};
    size_t i = 0;
    if (cpuSupports(InstructionSet::Avx512)) {
        i = scan_detail::simd::countBases512(text, n, counts);
    } else if (cpuSupports(InstructionSet::Avx2)) {
        i = scan_detail::simd::countBases256(text, n, counts);
    }
    for (; i < n; ++i) {
        switch (text[i]) {
            case 'A':
                ++counts[0];
                break;
            case 'C':
                ++counts[1];
                break;
            case 'G':
                ++counts[2];
                break;
            case 'T':
                ++counts[3];
                break;
            default:
                break;
        }
    }
    return counts;
}

}  // namespace xoprex
