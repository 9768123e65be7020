// Scan throughput on a synthetic 5 Mb sequence: both strands of every window,
// for a few scoring methods. Reports windows per second (both strands).
#include <benchmark/benchmark.h>

#include <random>
#include <sstream>

#include "motif/site_collection.h"
#include "scan/integrative.h"
#include "scan/scan.h"

namespace {

using namespace xoprex;

const char* kSites =
    "CCTGACGGAGTTCACACTT\nTGTAACAGAGATCACACAA\nTTTGAACCAGATCGCATTA\nTTTGCACGGCGTCACACTT\n"
    "TGTGAGTTAGCTCACTCAT\nTTTGTGAGTGGTCGCACAT\nTGTGAGCATGGTCATATTT\nTGTGATTCGATTCACATTT\n"
    "TTTGATCGTTTTCACAAAA\nTGTGAAATACCGCACAGAT\nTGCAAAGGACGTCACATTA\nTTTATTCCATGTCACACTT\n"
    "TGTGATGTGGTTAACCCAA\nTGTGACACAGTGCAAATTC\nTGTTAAATTGATCACGTTT\nCGTGATGTTGCTTGCAAAA\n"
    "CGTGATCAACCCCTCAATT\n";

std::string randomSequence(size_t length) {
    std::mt19937 rng(536);
    const char bases[] = "ACGT";
    std::string text(length, 'A');
    for (char& c : text) {
        c = bases[rng() & 3];
    }
    return text;
}

void BM_Scan(benchmark::State& state) {
    const int method = static_cast<int>(state.range(0));
    static const std::string genome = randomSequence(5'000'000);
    SequenceRecord background;
    SiteCollection collection;
    std::istringstream in(kSites);
    collection.sites = readCollectionSites(in, false);
    collection.siteLength = static_cast<int32_t>(collection.sites.front().site.size());
    buildModel(collection, background);

    Options options;
    options.method = method;
    options.literalCutOff = true;
    options.cutOff = lowerIsBetter(method) ? -1e300 : 1e300;  // keep nothing: pure scan cost
    IntegrativeWindow window(options);
    SequenceRecord record;
    record.sequence = genome;
    for (auto _ : state) {
        RecordHits found;
        scanRecord(record, collection, options, window, found);
        benchmark::DoNotOptimize(found.hits.data());
    }
    state.counters["windows/s"] = benchmark::Counter(
        static_cast<double>(2 * genome.size()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}

BENCHMARK(BM_Scan)->Arg(1)->Arg(2)->Arg(5)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
