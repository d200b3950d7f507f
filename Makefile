# pairkernels: build, test and demo entry points. Every target installs what is missing first.
BUILD_DIR    ?= build
SAN_DIR      ?= build-sanitize
WIN_BUILD_DIR ?= build-windows
ARM_BUILD_DIR ?= build-aarch64
MAC_BUILD_DIR ?= build-macos
VERSION      := $(shell grep -m1 -o 'pairkernels VERSION [0-9.]*' CMakeLists.txt | cut -d' ' -f3)
RELEASE_ZIP  := $(BUILD_DIR)/pairkernels-$(VERSION)-binaries.zip
PROFILE      ?= linux
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 600
CI_FUZZ_SECONDS ?= 60
OCTAVE       := octave-cli --norc --no-history --quiet
BENCH_RESULTS ?= $(BUILD_DIR)/bench-results
BENCH_ARGS   ?=

.PHONY: all deps build test test-main sanitize fuzz fuzz-short bench bench-octave bench-readme demo dist \
        clean deps-windows build-windows test-windows deps-aarch64 build-aarch64 \
        deps-macos build-macos test-macos release test-release

all: build

deps:
	@tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPAIRKERNELS_PROFILE=$(PROFILE)
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Everything: the main build's C++ and Octave suites, the C++ suite again under ASan and UBSan,
# a short bounded fuzz run, the Windows build's suite under Wine, the macOS bundles and the 64-bit
# Arm Linux build with their suites (under QEMU for Arm), pkhost-run on every host, and the
# binary release.
test: test-main sanitize fuzz-short test-windows test-macos test-release

test-main: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The Windows x64 build, cross-compiled with MinGW-w64; its tests run under Wine.
deps-windows:
	@tools/install-deps.sh --windows

build-windows: deps-windows
	cmake -S . -B $(WIN_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DPAIRKERNELS_PROFILE=windows
	cmake --build $(WIN_BUILD_DIR) -j $(JOBS)

test-windows: build-windows
	ctest --test-dir $(WIN_BUILD_DIR) --output-on-failure -j $(JOBS)

# The 64-bit Arm Linux build (modules, stand-in host, C++ tests), cross-compiled with Debian's
# aarch64-linux-gnu compilers: the kernels in their portable form, no x86 code.
deps-aarch64:
	@tools/install-deps.sh --aarch64

build-aarch64: deps-aarch64
	cmake -S . -B $(ARM_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DPAIRKERNELS_PROFILE=linux
	cmake --build $(ARM_BUILD_DIR) -j $(JOBS)

# The macOS modules (macos/build.mk): Mach-O bundles for x86_64 (build-macos/x86_64/*.mexmaci64)
# and arm64 (build-macos/arm64/*.mexmaca64), and the stand-in host's test bundles of every profile
# (build-macos/standin/<profile>/).
deps-macos:
	@tools/install-deps.sh --macos

build-macos: deps-macos
	$(MAKE) -f macos/build.mk OUT=$(MAC_BUILD_DIR) ZIG=$$(macos/zig.sh $(MAC_BUILD_DIR)/npm) -j $(JOBS)

# The bundles' binding; the C++ suite on the x86_64 bundles, and under QEMU, built for aarch64, on
# the aarch64 ELF modules and the arm64 bundles; pkhost-run of every host on every module file.
test-macos: build build-windows build-aarch64 build-macos
	tests/macos/run.sh $(BUILD_DIR) $(WIN_BUILD_DIR) $(ARM_BUILD_DIR) $(MAC_BUILD_DIR)

# One archive of the modules of every platform, built as for MATLAB, each platform in its own
# folder with the help texts: $(RELEASE_ZIP).
release: build build-windows build-macos
	tools/make-release.sh $(RELEASE_ZIP) $(BUILD_DIR) $(WIN_BUILD_DIR) $(MAC_BUILD_DIR)

test-release: release build-aarch64
	tests/release/check.sh $(RELEASE_ZIP) $(BUILD_DIR) $(WIN_BUILD_DIR) $(ARM_BUILD_DIR)

# A second build tree with clang, AddressSanitizer and UndefinedBehaviorSanitizer (modules,
# stand-in host and tests alike), plus the libFuzzer target.
$(SAN_DIR)/fuzz/fuzz_modules: deps FORCE
	CC=clang CXX=clang++ cmake -S . -B $(SAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DPAIRKERNELS_FUZZ=ON -DPAIRKERNELS_OCTAVE=OFF
	cmake --build $(SAN_DIR) -j $(JOBS)

sanitize: $(SAN_DIR)/fuzz/fuzz_modules
	ctest --test-dir $(SAN_DIR) --output-on-failure -j $(JOBS)

# Fuzzing starts from the committed seeds; new inputs go to a scratch corpus in the build tree.
fuzz-short: $(SAN_DIR)/fuzz/fuzz_modules
	mkdir -p $(SAN_DIR)/corpus
	$(SAN_DIR)/fuzz/fuzz_modules -max_total_time=$(CI_FUZZ_SECONDS) -print_final_stats=1 \
	  -artifact_prefix=$(SAN_DIR)/ $(SAN_DIR)/corpus fuzz/corpus

# FUZZ_SECONDS per module, one module after another.
fuzz: $(SAN_DIR)/fuzz/fuzz_modules
	mkdir -p $(SAN_DIR)/corpus
	for m in $$(tools/modules.sh names); do \
	  echo "== $$m"; \
	  PK_FUZZ_MODULE=$$m $(SAN_DIR)/fuzz/fuzz_modules -max_total_time=$(FUZZ_SECONDS) \
	    -print_final_stats=1 -artifact_prefix=$(SAN_DIR)/ $(SAN_DIR)/corpus fuzz/corpus || exit 1; \
	done

# Builds and runs the C++ benchmarks (bench/) against the stand-in-host modules; the summary goes
# to $(BENCH_RESULTS)/bench.md and bench.csv. BENCH_ARGS passes Google Benchmark flags (for example
# --benchmark_filter=pair_residual) and --pk_repetitions=N, --pk_recycled=0, --pk_huge_pages=0.
bench: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPAIRKERNELS_PROFILE=$(PROFILE) -DPAIRKERNELS_BENCH=ON
	cmake --build $(BUILD_DIR) -j $(JOBS) --target pairkernels_bench
	mkdir -p $(BENCH_RESULTS)
	$(BUILD_DIR)/bench/pairkernels_bench --pk_results=$(BENCH_RESULTS) $(BENCH_ARGS)

# The modules in GNU Octave against vectorized Octave expressions and the host's floor, under three
# memory settings; writes $(BENCH_RESULTS)/octave.md, octave.png and one CSV per setting. Needs the
# linux profile in build/octave (the default PROFILE).
bench-octave: build
	tools/install-deps.sh bench-octave
	cmake --build $(BUILD_DIR) -j $(JOBS) --target pairkernels_octave_floor
	bench/octave/run.sh $(BUILD_DIR) $(BENCH_RESULTS)

# Both benchmarks, one after the other, then their tables into docs/performance.md and their chart
# into docs/octave-bench.png (which the README shows).
bench-readme:
	$(MAKE) bench
	$(MAKE) bench-octave
	tools/update-readme-perf.sh $(BENCH_RESULTS)

# The GNU Octave package $(BUILD_DIR)/pairkernels-<version>.tar.gz: pkg install builds it.
dist:
	tools/make-dist.sh $(BUILD_DIR)

# pairkernels_demo (toolbox/, copied beside the modules) on the native Octave modules.
demo: build
	$(OCTAVE) --eval "pairkernels_demo ('$(BUILD_DIR)/oct')"

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR) $(WIN_BUILD_DIR) $(ARM_BUILD_DIR) $(MAC_BUILD_DIR)

FORCE:
