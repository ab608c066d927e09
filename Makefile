# The two commands: `make run` starts the player, `make test` runs every test.
# Both install what is missing first (Debian 12, as root).
SHELL := /bin/bash
.SHELLFLAGS := -eo pipefail -c
JOBS ?= $(shell nproc)
CACHE ?= $(or $(VELORAN_CACHE),$(HOME)/.cache/veloran)
export VELORAN_CACHE := $(CACHE)
CMAKE_COMMON := -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: run test build deps windows native asan tsan fuzz test-windows test-native test-asan test-tsan test-fuzz bench clean

# The player's own Wine prefix, with the capture device "Veloran Capture" as
# the output (it records under the Wine user's documents folder).
run: windows
	WINEPREFIX=$(CACHE)/wine-player scripts/capture-device demo > /dev/null
	WINEPREFIX=$(CACHE)/wine-player scripts/wine-run dist/Veloran.exe

test: test-native test-asan test-tsan test-fuzz test-windows

build: windows native

deps:
	@scripts/install-deps

# Windows dependencies are built once per package version and reused.
windows: deps
	@mkdir -p build
	@prefix=$$(scripts/build-win-deps 2>build/win-deps.log) || { tail -n 40 build/win-deps.log; exit 1; }; \
	cmake -S . -B build/windows $(CMAKE_COMMON) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_PREFIX_PATH="$$prefix" > build/windows-configure.log || { cat build/windows-configure.log; exit 1; }
	cmake --build build/windows -j$(JOBS)

native: deps
	cmake -S . -B build/native $(CMAKE_COMMON) > /dev/null
	cmake --build build/native -j$(JOBS)

asan: deps
	cmake -S . -B build/asan $(CMAKE_COMMON) -DVELORAN_SANITIZER=address > /dev/null
	cmake --build build/asan -j$(JOBS)

tsan: deps
	cmake -S . -B build/tsan $(CMAKE_COMMON) -DVELORAN_SANITIZER=thread > /dev/null
	cmake --build build/tsan -j$(JOBS)

# libFuzzer targets, built with clang under ASan+UBSan; `make test` gives
# each a short seeded run, `make bench` a long one.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build/fuzz $(CMAKE_COMMON) -DVELORAN_FUZZ=ON -DVELORAN_SANITIZER=address > /dev/null
	cmake --build build/fuzz -j$(JOBS) --target veloran_fuzzers

test-fuzz: fuzz
	cd build/fuzz && ctest --output-on-failure -L fuzz

test-windows: windows
	cd build/windows && ctest --output-on-failure -j$(JOBS)

test-native: native
	cd build/native && ctest --output-on-failure -j$(JOBS)

test-asan: asan
	cd build/asan && ctest --output-on-failure -j$(JOBS)

test-tsan: tsan
	cd build/tsan && ctest --output-on-failure -j$(JOBS)

# Speed figures beside the reference tools, run in the same go, and a longer
# fuzzing of every fuzz target. Not tests: nothing here fails on a figure.
BENCH_LIBS := build/bench/support/orvo:build/bench/support/orvu:build/bench/support/oraa
bench: deps fuzz
	cmake -S . -B build/bench -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release > /dev/null
	cmake --build build/bench -j$(JOBS) --target engine_bench add_folder_bench playback_bench
	build/bench/support/engine-bench/engine_bench build/bench/media
	build/bench/engine/bench/playback_bench
	LD_LIBRARY_PATH=$(BENCH_LIBS) build/bench/playlist/bench/add_folder_bench
	support/engine-fuzz/run_fuzz.sh $(or $(FUZZ_SECONDS),60)
	build/fuzz/playlist/fuzz/cue_sheet_fuzz -dict=playlist/fuzz/cue.dict -max_total_time=$(or $(FUZZ_SECONDS),60) \
	  -print_final_stats=1 build/fuzz/playlist/fuzz/cue_sheet_fuzz-corpus playlist/fuzz/corpus 2>&1 | tail -n 3

clean:
	rm -rf build dist
