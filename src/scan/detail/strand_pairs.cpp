// Plain scans of a text whose every byte has a complement, both strands each,
// in one pass (declared in strand_scan.h).
//
// The windows are cut into chunks, scored on the threads side by side; a
// chunk's windows within the text go by pieces (WindowKernel::kPiece): each
// piece is read once for all the scans (and classified once for those whose
// kernels classify bytes alike) and then filtered by each; the few windows
// across the text's end are read by each scan from its own stitched text. Reverse window j reads
// the complements of the forward window at N - L - j (around the circle: N + N - L - j for the
// windows across the end), so a chunk's reverse windows come in decreasing order, those within the
// strand before those across its end: each chunk has one reverse list for each, filled backwards at
// its end.
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "base/tasks.h"
#include "scan/detail/strand_scan.h"

namespace xoprex::scan_detail {
namespace {

using Passed = std::vector<std::pair<size_t, double>>;

}  // namespace

void scanPlainBothEach(std::span<PairScan> scans, const std::string& text, unsigned threads,
                       ProgressTicker& ticker) {
    const size_t n = text.size();
    size_t end = 0;
    for (size_t k = 0; k < scans.size(); ++k) {
        StrandScan& scan = *scans[k].scan;
        const StrandJob& job = scan.jobs[0];
        PairScan& part = scans[k];
        part.filter = &scans[k].kernel->bothStrandFilter(scan.frame.keeper.cutOff(),
                                                         scan.frame.keeper.lowerIsBetter());
        part.end = job.end;
        part.last = job.scannable ? n - scan.frame.length : 0;
        part.inside = job.scannable ? std::min(job.end, part.last + 1) : 0;
        end = std::max(end, job.end);
    }
    const size_t chunks = (end + kWindowsPerChunk - 1) / kWindowsPerChunk;
    for (PairScan& pair : scans) {
        pair.scan->found[0].assign(chunks, pair.scan->emptyList());
        pair.scan->found[1].assign(2 * chunks, pair.scan->emptyList());
    }
    const auto workers = static_cast<unsigned>(std::min<size_t>(threads, chunks));
    std::vector<WindowKernel::Scratch> spare(workers > 1 ? workers - 1 : 0);
    const auto task = [&](size_t chunk, unsigned worker) {
        WindowKernel::Scratch& scratch =
            worker == 0 ? scans.front().kernel->ownScratch() : spare[worker - 1];
        // Per scan: the reverse windows of the chunk, in forward order.
        std::vector<Passed>& back = scratch.held;
        back.resize(scans.size());
        for (Passed& passed : back) {
            passed.clear();
        }
        const size_t begin = chunk * kWindowsPerChunk;
        const size_t stop = std::min(end, begin + kWindowsPerChunk);
        const auto keepForward = [&](size_t k, size_t at) {
            CandidateList& list = scans[k].scan->found[0][chunk];
            return [&list, at](size_t i, double score) { list.keep(at + i, score, 0.0, 0.0, 0.0); };
        };
        const auto keepReverse = [&](size_t k, size_t at) {
            Passed& passed = back[k];
            return [&passed, at](size_t i, double score) { passed.emplace_back(at + i, score); };
        };
        for (size_t c = begin; c < stop;) {
            const size_t tick = std::min(stop, c + kWindowsPerTick);
            // The windows within the text, a piece at a time.
            for (size_t p = c; p < tick; p += WindowKernel::kPiece) {
                const size_t pieceEnd = std::min(tick, p + WindowKernel::kPiece);
                // The characters the scans' windows in the piece read.
                size_t characters = 0;
                for (size_t k = 0; k < scans.size(); ++k) {
                    if (scans[k].inside > p) {
                        const size_t count = std::min(pieceEnd, scans[k].inside) - p;
                        characters = std::max(characters, count + scans[k].scan->frame.length - 1);
                    }
                }
                if (characters == 0) {
                    continue;
                }
                scans.front().kernel->readText(text.data() + p, characters, scratch);
                for (size_t k = 0; k < scans.size(); ++k) {
                    if (scans[k].inside <= p) {
                        continue;
                    }
                    const size_t count = std::min(pieceEnd, scans[k].inside) - p;
                    scans[k].kernel->passingPiece(count, *scans[k].filter, scratch, true);
                    const auto forward = keepForward(k, p);
                    for (const auto& [i, score] : scratch.forward) {
                        forward(i, score);
                    }
                    const auto reverse = keepReverse(k, p);
                    for (const auto& [i, score] : scratch.reverse) {
                        reverse(i, score);
                    }
                }
            }
            // The windows across the end, from each scan's stitched text.
            size_t windows = 0;
            for (size_t k = 0; k < scans.size(); ++k) {
                const PairScan& part = scans[k];
                const size_t from = std::max(c, part.inside);
                const size_t to = std::min(tick, part.end);
                windows += c < part.end ? std::min(tick, part.end) - c : 0;
                if (from >= to) {
                    continue;
                }
                scans[k].scan->jobs[0].text.forRanges(
                    from, to, [&](const char* at, size_t first, size_t count) {
                        scans[k].kernel->passingBoth(at, count, *part.filter, scratch,
                                                     keepForward(k, first), keepReverse(k, first));
                    });
            }
            ticker.advance(2 * windows);
            c = tick;
        }
        for (size_t k = 0; k < scans.size(); ++k) {
            CandidateList& within = scans[k].scan->found[1][chunks - 1 - chunk];
            CandidateList& across = scans[k].scan->found[1][2 * chunks - 1 - chunk];
            const size_t last = scans[k].last;
            for (size_t i = back[k].size(); i-- > 0;) {
                const auto [start, score] = back[k][i];
                if (start <= last) {
                    within.keep(last - start, score, 0.0, 0.0, 0.0);
                } else {
                    across.keep(n + last - start, score, 0.0, 0.0, 0.0);
                }
            }
        }
    };
    runTasks(chunks, workers, std::ref(task));
}

}  // namespace xoprex::scan_detail
