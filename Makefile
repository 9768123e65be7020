# XOprex: top-level entry points. Every target installs what it needs first.
JOBS ?= 2
BUILD := build
ASAN_BUILD := build-asan
FUZZ_BUILD := build-fuzz
FUZZ_SECONDS ?= 60
OUT := out
PREFIX ?= /usr/local

.PHONY: all deps build asan demo workflow test test-release test-asan bench gui screenshots install package fuzz clean

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

test: test-release test-asan

bench: build
	@bash bench/run.sh $(BUILD)

gui: build
	$(BUILD)/src/ui/xoprex-gui

screenshots: build
	@bash scripts/screenshots.sh $(BUILD)/src/ui/xoprex-gui docs

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
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(OUT)
