# pairkernels: build, test and demo entry points. Every target installs what is missing first.
BUILD_DIR ?= build
WIN_BUILD_DIR ?= build-windows
PROFILE   ?= linux
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
OCTAVE    := octave-cli --norc --no-history --quiet

.PHONY: all deps build test demo clean deps-windows build-windows test-windows

all: build

deps:
	@tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPAIRKERNELS_PROFILE=$(PROFILE)
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-windows

# The Windows x64 build, cross-compiled with MinGW-w64; its tests run under Wine.
deps-windows:
	@tools/install-deps.sh --windows

build-windows: deps-windows
	cmake -S . -B $(WIN_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DPAIRKERNELS_PROFILE=windows
	cmake --build $(WIN_BUILD_DIR) -j $(JOBS)

test-windows: build-windows
	ctest --test-dir $(WIN_BUILD_DIR) --output-on-failure -j $(JOBS)

demo: build
	$(OCTAVE) demo/demo.m $(BUILD_DIR)/octave

clean:
	rm -rf $(BUILD_DIR) $(WIN_BUILD_DIR)
