# The macOS modules: Mach-O bundles for x86_64 (.mexmaci64) and arm64 (.mexmaca64), compiled with
# Zig's clang against the macOS headers it carries and linked with LLVM's ld64.lld against
# link-time stubs of the host libraries (stubs/*.tbd) and of libSystem (Zig's). No macOS SDK.
#   make -f macos/build.mk OUT=build-macos ZIG=.../zig
#
# Outputs:
#   OUT/x86_64/<module>.mexmaci64, OUT/arm64/<module>.mexmaca64
#       the deliverables: macos profile, built as for MATLAB (nothing read but the processor),
#       each with its help text <module>.m beside it
#   OUT/standin/<profile>/<module>.mexmaci64 and .mexmaca64, profile linux, windows and macos
#       the stand-in host's test bundles, whose variant choice that host may cap (they import
#       pkhostSimdLevel from libmx besides the host calls)
#
# Every bundle exports _mexFunction alone and links @rpath/libmx.dylib, @rpath/libmex.dylib,
# @rpath/libmat.dylib and /usr/lib/libSystem.B.dylib, nothing else.
SRC      := $(patsubst %/macos/,%,$(dir $(abspath $(lastword $(MAKEFILE_LIST)))))
OUT      ?= build-macos
ZIG      ?= zig
LD64     ?= $(firstword $(wildcard /usr/bin/ld64.lld /usr/lib/llvm-*/bin/ld64.lld /usr/bin/ld64.lld-*))
MACOS_MIN := 11.0
ENTRIES  := $(shell $(SRC)/tools/modules.sh entries)
NAMES    := $(notdir $(ENTRIES))
PROFILES := linux windows macos
ARCHS    := x86_64 arm64
ext_x86_64 := mexmaci64
ext_arm64  := mexmaca64
zig_x86_64 := x86_64-macos.$(MACOS_MIN)
zig_arm64  := aarch64-macos.$(MACOS_MIN)

export ZIG_GLOBAL_CACHE_DIR := $(abspath $(OUT))/zig-cache
export ZIG_LOCAL_CACHE_DIR  := $(abspath $(OUT))/zig-cache

# The numeric flags of every build; no exceptions (a host error leaves a bundle's frames by the
# host's means, and the bundle then needs nothing of the C++ runtime).
CXXFLAGS := -std=c++17 -O2 -ffp-contract=off -fno-fast-math -fno-exceptions -fno-rtti \
  -Wall -Wextra \
  -I$(SRC)/gateway -I$(SRC)/simd -I$(SRC)/standin/include
STUBS := $(SRC)/macos/stubs/libmx.tbd $(SRC)/macos/stubs/libmex.tbd $(SRC)/macos/stubs/libmat.tbd
LIBSYSTEM = $(dir $(ZIG))lib/libc/darwin/libSystem.11.tbd

release_bundles := $(foreach a,$(ARCHS),$(foreach n,$(NAMES),$(OUT)/$(a)/$(n).$(ext_$(a))))
release_help := $(foreach a,$(ARCHS),$(foreach n,$(NAMES),$(OUT)/$(a)/$(n).m))
test_bundles := $(foreach p,$(PROFILES),$(foreach a,$(ARCHS),\
  $(foreach n,$(NAMES),$(OUT)/standin/$(p)/$(n).$(ext_$(a)))))

.PHONY: all
all: $(release_bundles) $(release_help) $(test_bundles)

.SECONDEXPANSION:
.DELETE_ON_ERROR:

# Objects: OUT/obj/<arch>/<profile>/<module>.o; the gateway layer once per arch, its variant
# choice with (cpu-cap.o) and without (cpu.o) the stand-in host's cap.
define arch_rules
$(OUT)/obj/$(1)/common/gateway.o: $(SRC)/gateway/gateway.cpp $(SRC)/gateway/gateway.h | $$$$(@D)/.dir
	$(ZIG) c++ -target $(zig_$(1)) $(CXXFLAGS) -c $$< -o $$@
$(OUT)/obj/$(1)/common/cpu.o: $(SRC)/simd/cpu.cpp $(SRC)/simd/dispatch.h | $$$$(@D)/.dir
	$(ZIG) c++ -target $(zig_$(1)) $(CXXFLAGS) -c $$< -o $$@
$(OUT)/obj/$(1)/common/cpu-cap.o: $(SRC)/simd/cpu.cpp $(SRC)/simd/dispatch.h | $$$$(@D)/.dir
	$(ZIG) c++ -target $(zig_$(1)) $(CXXFLAGS) -DPK_SIMD_HOST_CAP=1 -c $$< -o $$@
$(OUT)/obj/$(1)/common/runtime.o: $(SRC)/macos/runtime.cpp | $$$$(@D)/.dir
	$(ZIG) c++ -target $(zig_$(1)) $(CXXFLAGS) -c $$< -o $$@
endef
$(foreach a,$(ARCHS),$(eval $(call arch_rules,$(a))))

# One module source, compiled for one arch in one profile: OUT/obj/<arch>/<profile>/<module>.o
# for the modules whose source tells the profiles apart (PK_PROFILE_...), and once for all three,
# in OUT/obj/<arch>/all/, for the others.
PROFILED := $(notdir $(basename $(shell grep -l PK_PROFILE_ $(ENTRIES:%=$(SRC)/kernels/%.cpp))))
object = $(OUT)/obj/$(1)/$(if $(filter $(notdir $(3)),$(PROFILED)),$(2),all)/$(notdir $(3)).o
upper = $(shell echo $(1) | tr a-z A-Z)

define object_rules
$(OUT)/obj/$(1)/$(2)/$(notdir $(3)).o: $(SRC)/kernels/$(3).cpp $(SRC)/gateway/gateway.h \
    $(wildcard $(SRC)/simd/*.h $(SRC)/kernels/common/*.h) | $$$$(@D)/.dir
	$(ZIG) c++ -target $(zig_$(1)) $(CXXFLAGS) -DPK_PROFILE_$(call upper,$(4))=1 -c $$< -o $$@
endef
$(foreach a,$(ARCHS),$(foreach e,$(ENTRIES),$(if $(filter $(notdir $(e)),$(PROFILED)),\
  $(foreach p,$(PROFILES),$(eval $(call object_rules,$(a),$(p),$(e),$(p)))),\
  $(eval $(call object_rules,$(a),all,$(e),macos)))))

define module_rules
$(OUT)/standin/$(2)/$(notdir $(3)).$(ext_$(1)): $(call object,$(1),$(2),$(3)) \
    $(OUT)/obj/$(1)/common/gateway.o $(OUT)/obj/$(1)/common/cpu-cap.o \
    $(OUT)/obj/$(1)/common/runtime.o $(STUBS) | $$$$(@D)/.dir
	$(LD64) -arch $(1) -bundle -platform_version macos $(MACOS_MIN) $(MACOS_MIN) \
	  -exported_symbol _mexFunction -dead_strip -o $$@ $$(filter %.o %.tbd,$$^) $$(LIBSYSTEM)
endef
$(foreach a,$(ARCHS),$(foreach p,$(PROFILES),$(foreach e,$(ENTRIES),\
  $(eval $(call module_rules,$(a),$(p),$(e))))))

# The deliverables: the macos profile's objects with the uncapped variant choice.
define release_rules
$(OUT)/$(1)/$(notdir $(2)).$(ext_$(1)): $(call object,$(1),macos,$(2)) \
    $(OUT)/obj/$(1)/common/gateway.o $(OUT)/obj/$(1)/common/cpu.o \
    $(OUT)/obj/$(1)/common/runtime.o $(STUBS) | $$$$(@D)/.dir
	$(LD64) -arch $(1) -bundle -platform_version macos $(MACOS_MIN) $(MACOS_MIN) \
	  -exported_symbol _mexFunction -dead_strip -o $$@ $$(filter %.o %.tbd,$$^) $$(LIBSYSTEM)
$(OUT)/$(1)/$(notdir $(2)).m: $(SRC)/kernels/$(2).m | $$$$(@D)/.dir
	cp $$< $$@
endef
$(foreach a,$(ARCHS),$(foreach e,$(ENTRIES),$(eval $(call release_rules,$(a),$(e)))))

%/.dir:
	mkdir -p $(@D) && touch $@
