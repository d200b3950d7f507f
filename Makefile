# pairkernels: build, test and demo entry points. Every target installs what is missing first.
BUILD_DIR ?= build
PROFILE   ?= linux
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
OCTAVE    := octave-cli --norc --no-history --quiet

.PHONY: all deps build test bench demo clean

all: build

deps:
	@tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPAIRKERNELS_PROFILE=$(PROFILE)
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# Builds and runs the benchmarks (bench/) against the stand-in-host modules.
bench: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPAIRKERNELS_PROFILE=$(PROFILE) -DPAIRKERNELS_BENCH=ON
	cmake --build $(BUILD_DIR) -j $(JOBS) --target pairkernels_bench
	$(BUILD_DIR)/bench/pairkernels_bench

demo: build
	$(OCTAVE) demo/demo.m $(BUILD_DIR)/octave

clean:
	rm -rf $(BUILD_DIR)
