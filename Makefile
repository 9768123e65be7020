# XOprex: top-level entry points. Every target installs what it needs first.
JOBS ?= 2
BUILD := build
ASAN_BUILD := build-asan
TSAN_BUILD := build-tsan
FUZZ_BUILD := build-fuzz
FUZZ_SECONDS ?= 60
OUT := out
PREFIX ?= /usr/local

.PHONY: all deps build asan tsan demo workflow test test-release test-asan test-tsan bench gui screenshots install package fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DXOPREX_SANITIZE=ON -DXOPREX_BENCH=OFF

asan: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# ThreadSanitizer: only the programs whose tests run threads (the task
# helpers, the writers of the results, the threaded scan, the score
# distributions, whole searches through runSearch, the command line and the
# fuzz corpus, whose search harness runs on two threads).
TSAN_TARGETS := xoprex test_base test_motif test_scan test_report test_pipeline test_cli \
    test_fuzz_corpus
TSAN_TESTS := ^(Harnesses/CorpusReplay|Tasks|SharedText|BlockWriter|RowChunks|ResultsTable|ThreadedScan|ScoreDistribution|ThreadedSearch|Significance|IntegrativePValues|Cli|CliInputs|Collections|Flags|Formats|GoldenSearch|StandardInput|Regulon)\.
TSAN_OPTIONS := halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/cmake/tsan.supp

$(TSAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXOPREX_TSAN=ON \
	    -DXOPREX_BENCH=OFF -DXOPREX_GUI=OFF

tsan: deps $(TSAN_BUILD)/CMakeCache.txt
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TARGETS)

demo: build
	@bash scripts/demo.sh $(BUILD)/src/cli/xoprex $(OUT)

# The many-genomes workflow on the examples (workflow/config.yaml), into $(OUT)/workflow.
workflow: build
	@bash scripts/install-deps.sh --workflow
	snakemake --cores $(JOBS) --configfile workflow/config.yaml --config outdir=$(OUT)/workflow

test-release: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-asan: asan
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-tsan: tsan
	cd $(TSAN_BUILD) && TSAN_OPTIONS="$(TSAN_OPTIONS)" ctest --output-on-failure -j $(JOBS) \
	    -R '$(TSAN_TESTS)'

test: test-release test-asan test-tsan

bench: build
	@bash bench/run.sh $(BUILD)

gui: build
	$(BUILD)/src/ui/xoprex-gui

screenshots: build
	@bash scripts/screenshots.sh $(BUILD)/src/ui/xoprex-screenshots docs

# The programs, the manual page, the desktop entry and its icon under PREFIX.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package of the same files under /usr, in $(BUILD).
package: build
	cd $(BUILD) && cpack -G DEB

# libFuzzer harnesses (clang) in their own tree, FUZZ_SECONDS per harness.
fuzz:
	@bash scripts/install-deps.sh --fuzz
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) bash scripts/fuzz.sh $(FUZZ_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(OUT)
