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
TEST_LOGS    ?= $(BUILD_DIR)/test-logs
TEST_PARALLEL ?= 2
HOSTS_DIR    ?= build-hosts
COMPILERS_DIR ?= build-compilers
FUZZ_SECONDS ?= 600
CI_FUZZ_SECONDS ?= 30
OCTAVE       := octave-cli --norc --no-history --quiet
BENCH_RESULTS ?= $(BUILD_DIR)/bench-results
BENCH_ARGS   ?=

.PHONY: all deps build test test-main build-sanitize sanitize fuzz fuzz-short bench bench-octave \
        bench-readme demo dist \
        clean deps-windows build-windows test-windows deps-aarch64 build-aarch64 \
        deps-macos build-macos test-macos release test-release test-compilers bench-compilers deps-hosts \
        test-hosts

all: build

deps:
	@tools/install-deps.sh

#: the main tree: modules of every host, stand-in host, C++ and Octave suites
build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPAIRKERNELS_PROFILE=$(PROFILE)
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Everything, stage by stage (tools/test-stages.sh: each stage's log in $(TEST_LOGS)/, a table of
# stages, seconds and test counts at the end): the main build's C++ and Octave suites, the C++
# suite again under ASan and UBSan, a short bounded fuzz run, the Windows build's suite under
# Wine, the macOS bundles and the 64-bit Arm Linux build with their suites (under QEMU for Arm),
# pkhost-run on every host, and the binary release.
# Two stages at a time, the longest first where their builds allow (TEST_PARALLEL=1: one by one).
TEST_STAGES := build test-main build-sanitize build-aarch64 build-windows build-macos test-macos \
  sanitize test-windows fuzz-short release test-release
test:
	@TEST_PARALLEL=$(TEST_PARALLEL) tools/test-stages.sh $(TEST_LOGS) $(TEST_STAGES)

#: ctest of the main tree: C++ suite (every variant, profile), Octave suites
test-main: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The Windows x64 build, cross-compiled with MinGW-w64; its tests run under Wine.
deps-windows:
	@tools/install-deps.sh --windows

#: the Windows tree (MinGW-w64): modules, stand-in host, C++ suite
build-windows: deps-windows
	cmake -S . -B $(WIN_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DPAIRKERNELS_PROFILE=windows
	cmake --build $(WIN_BUILD_DIR) -j $(JOBS)

#: the C++ suite of the Windows tree under Wine
test-windows: build-windows
	ctest --test-dir $(WIN_BUILD_DIR) -V -j $(JOBS)

# The 64-bit Arm Linux build (modules, stand-in host, C++ tests), cross-compiled with Debian's
# aarch64-linux-gnu compilers: the kernels in their portable form, no x86 code.
deps-aarch64:
	@tools/install-deps.sh --aarch64

#: the 64-bit Arm Linux tree (cross-built): modules, stand-in host, C++ suite
build-aarch64: deps-aarch64
	cmake -S . -B $(ARM_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DPAIRKERNELS_PROFILE=linux
	cmake --build $(ARM_BUILD_DIR) -j $(JOBS)

# The macOS modules, cross-built by CMake with Zig's clang and ld64.lld (cmake/zig-macos.cmake),
# one tree per architecture: Mach-O bundles for x86_64 (build-macos/x86_64/*.mexmaci64) and
# arm64 (build-macos/arm64/*.mexmaca64), and the stand-in host's test bundles of every profile
# (build-macos/standin/<profile>/).
deps-macos:
	@tools/install-deps.sh --macos

#: the macOS bundles, x86_64 and arm64 (Zig's clang, ld64.lld)
build-macos: deps-macos
	zig=$$(macos/zig.sh $(MAC_BUILD_DIR)/npm) && for arch in x86_64 arm64; do \
	  cmake -S . -B $(MAC_BUILD_DIR)/tree-$$arch -DCMAKE_TOOLCHAIN_FILE=cmake/zig-macos.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DPAIRKERNELS_ZIG=$$zig -DPAIRKERNELS_MACOS_ARCH=$$arch \
	    -DPAIRKERNELS_MACOS_OUT=$(abspath $(MAC_BUILD_DIR)) && \
	  cmake --build $(MAC_BUILD_DIR)/tree-$$arch -j $(JOBS) || exit 1; \
	done

# The bundles' binding; the C++ suite on the x86_64 bundles, and under QEMU, built for aarch64, on
# the aarch64 ELF modules and the arm64 bundles; pkhost-run of every host on every module file.
#: bundles' binding; C++ suite on bundles, Arm under QEMU; pkhost-run everywhere
test-macos: build build-windows build-aarch64 build-macos
	tests/macos/run.sh $(BUILD_DIR) $(WIN_BUILD_DIR) $(ARM_BUILD_DIR) $(MAC_BUILD_DIR)

# One archive of the modules of every platform, built as for MATLAB, each platform in its own
# folder with the help texts: $(RELEASE_ZIP).
#: the binary release: every platform's modules in one zip
release: build build-windows build-macos
	tools/make-release.sh $(RELEASE_ZIP) $(BUILD_DIR) $(WIN_BUILD_DIR) $(MAC_BUILD_DIR)

# The Windows runner runs in a Wine session of the check's own.
#: the release's contents, and its modules against the builds
test-release: release build-aarch64
	tests/windows/wine_session.sh $(WIN_BUILD_DIR)/wineprefix-release_check \
	  tests/release/check.sh $(RELEASE_ZIP) $(BUILD_DIR) $(WIN_BUILD_DIR) $(ARM_BUILD_DIR)

# The modules, the stand-in host and the C++ suite built with every compiler the package supports
# (GCC 9 to 12, Clang 13 and 14; GCC 9 and 10 in a Debian 11 chroot under HOSTS_DIR), and the
# suite run on each build. Not part of make test (about 15 minutes); CI runs it.
test-compilers:
	@tools/install-deps.sh --compilers
	HOSTS_DIR=$(abspath $(HOSTS_DIR)) tests/compilers/run.sh $(COMPILERS_DIR)

# The package and the modules in every GNU Octave the package claims: 6.2 (Debian 11), 9 (Debian
# 13) and the newest (Debian sid) on x86-64, and 7.3 on 64-bit Arm (Debian 12, under QEMU), each in
# a chroot under HOSTS_DIR, made once and reused; results in $(BUILD_DIR)/hosts. pkg install, pkg
# test and the suites in each, and fixed cases against this build's bits (tests/hosts/run.sh).
# ALLOW_SKIP=1 lets a host that cannot be made here be skipped. Not part of make test; CI runs it.
deps-hosts:
	@tools/install-deps.sh --hosts

test-hosts: deps-hosts build dist
	HOSTS_DIR=$(abspath $(HOSTS_DIR)) tests/hosts/run.sh $(BUILD_DIR) $(BUILD_DIR)/hosts

# A second build tree with clang, AddressSanitizer and UndefinedBehaviorSanitizer (modules,
# stand-in host and tests alike), plus the libFuzzer target. Line tables are all the sanitizers'
# reports need, and build faster than full debug information.
$(SAN_DIR)/fuzz/fuzz_modules: deps FORCE
	CC=clang CXX=clang++ cmake -S . -B $(SAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DPAIRKERNELS_FUZZ=ON -DPAIRKERNELS_OCTAVE=OFF -DPAIRKERNELS_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG" \
	  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG"
	cmake --build $(SAN_DIR) -j $(JOBS)

#: a clang tree with ASan and UBSan: modules, stand-in host, C++ suite, fuzz target
build-sanitize: $(SAN_DIR)/fuzz/fuzz_modules

#: the C++ suite under ASan and UBSan
sanitize: build-sanitize
	ctest --test-dir $(SAN_DIR) --output-on-failure -j $(JOBS)

# Fuzzing starts from the committed seeds; new inputs go to a scratch corpus in the build tree.
#: a short libFuzzer run (CI_FUZZ_SECONDS) over every module, under ASan and UBSan
fuzz-short: build-sanitize
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
# --benchmark_filter=pair_residual) and --pk_repetitions=N, --pk_recycled=0, --pk_huge_pages=0,
# --pk_variant=avx2 (a narrower kernel variant than the widest), --pk_literal=0 (modules only).
bench: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPAIRKERNELS_PROFILE=$(PROFILE) -DPAIRKERNELS_BENCH=ON
	cmake --build $(BUILD_DIR) -j $(JOBS) --target pairkernels_bench
	mkdir -p $(BENCH_RESULTS)
	$(BUILD_DIR)/bench/pairkernels_bench --pk_results=$(BENCH_RESULTS) $(BENCH_ARGS)

# The modules' times with the oldest supported compiler (GCC 9, in the Debian 11 chroot under
# HOSTS_DIR) against GCC 12's, the two builds run by turns, case by case, over ROUNDS rounds in
# each variant from AVX2 up; prints each module's median ratio and fails above 1.2
# (tools/bench-compilers.sh). About 25 minutes with AVX-512 after the builds; run it on a quiet
# machine.
bench-compilers:
	@tools/install-deps.sh
	@tools/install-deps.sh --compilers
	HOSTS_DIR=$(abspath $(HOSTS_DIR)) tools/bench-compilers.sh $(COMPILERS_DIR)/bench

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

# pairkernels_demo (toolbox/, copied beside the modules) on the native Octave modules; fails
# unless every stage gave the plain computation's bits.
demo: build
	$(OCTAVE) --path $(BUILD_DIR)/oct --eval "exit (~pairkernels_demo ('$(BUILD_DIR)/oct'))"

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR) $(WIN_BUILD_DIR) $(ARM_BUILD_DIR) $(MAC_BUILD_DIR)

FORCE:
