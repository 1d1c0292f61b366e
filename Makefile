# Orvanta: the user's entry points. `make test` and `make demo` set up a fresh
# Debian 12 machine (packages), build both architectures and run.
BUILD     := build
BUILD32   := $(BUILD)/i386
SYSROOT32 := $(CURDIR)/$(BUILD)/i386-sysroot
JOBS      ?= $(shell nproc)
PREFIX    ?=
CMAKE_ARGS ?=
# The Windows VST modules (mingw-w64), delivered into build/plugins/windows.
BUILDWIN64 := $(BUILD)/windows-x86_64
BUILDWIN32 := $(BUILD)/windows-i686
WINPLUGINS := $(CURDIR)/$(BUILD)/plugins/windows
# Every build delivers its architecture's VST 3 module into this one bundle.
VST3BUNDLE := $(CURDIR)/$(BUILD)/plugins/Orvanta.vst3

# The sanitizer builds of the x86-64 tree, each in a folder of its own.
BUILDASAN := $(BUILD)/asan
BUILDTSAN := $(BUILD)/tsan

.PHONY: all deps configure build windows test memcheck demo bench stress plugins install screenshots clean \
        sanitize sanitize-thread fuzz deb windows-installer

all: build

deps:
	@bash tools/install-deps.sh

$(SYSROOT32)/.complete:
	bash tools/i386-sysroot.sh $(SYSROOT32)

$(BUILD32)/CMakeCache.txt:
	cmake -S . -B $(BUILD32) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/i386.cmake \
	  -DORVANTA_PLUGIN_OUTPUT_DIR=$(CURDIR)/$(BUILD)/plugins -DORVANTA_I386_SYSROOT=$(SYSROOT32) \
	  -DORVANTA_VST3_BUNDLE=$(VST3BUNDLE) $(CMAKE_ARGS)

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DORVANTA_I386_DIR=$(CURDIR)/$(BUILD32) -DORVANTA_I386_SYSROOT=$(SYSROOT32) \
	  -DORVANTA_WINDOWS_DIR=$(CURDIR)/$(BUILDWIN64) -DORVANTA_WINDOWS_I386_DIR=$(CURDIR)/$(BUILDWIN32) \
	  -DORVANTA_VST3_BUNDLE=$(VST3BUNDLE) $(CMAKE_ARGS)

$(BUILDWIN64)/CMakeCache.txt:
	cmake -S . -B $(BUILDWIN64) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake \
	  -DORVANTA_PLUGIN_OUTPUT_DIR=$(WINPLUGINS) -DORVANTA_VST3_BUNDLE=$(VST3BUNDLE) $(CMAKE_ARGS)

$(BUILDWIN32)/CMakeCache.txt:
	cmake -S . -B $(BUILDWIN32) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake \
	  -DORVANTA_PLUGIN_OUTPUT_DIR=$(WINPLUGINS) -DORVANTA_VST3_BUNDLE=$(VST3BUNDLE) $(CMAKE_ARGS)

windows: deps $(BUILDWIN64)/CMakeCache.txt $(BUILDWIN32)/CMakeCache.txt
	cmake --build $(BUILDWIN32) -j $(JOBS)
	cmake --build $(BUILDWIN64) -j $(JOBS)

configure: deps $(SYSROOT32)/.complete $(BUILD32)/CMakeCache.txt $(BUILD)/CMakeCache.txt

build: configure windows
	cmake --build $(BUILD32) -j $(JOBS)
	cmake --build $(BUILD) -j $(JOBS)

plugins: build

# make test ends with the sanitizer lanes where they fit CI's 20 minutes: on
# two cores or more, unless SANITIZE=0.
SANITIZE ?= 1
CORES := $(shell nproc)
test: build deb windows-installer
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@if [ "$(SANITIZE)" = 0 ]; then echo "make test: sanitizer lanes left out (SANITIZE=0)"; \
	elif [ "$(CORES)" -lt 2 ]; then echo "make test: sanitizer lanes left out on one core (make sanitize and make sanitize-thread run them)"; \
	else $(MAKE) --no-print-directory sanitize sanitize-thread; fi

# The test hosts under valgrind's memcheck (also part of `make test`).
memcheck: build
	bash tools/memcheck.sh $(BUILD)

demo: build
	bash tools/demo.sh $(BUILD)

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target orvanta_bench orvanta_cli_speed orvanta-level
	$(BUILD)/bench/orvanta_bench
	bash bench/cli_speed.sh $(BUILD)
	bash bench/landing.sh $(BUILD)

# The whole x86-64 suite under AddressSanitizer (leak checking on) and
# UndefinedBehaviorSanitizer; it says which tests cannot run there.
sanitize: deps
	cmake -S . -B $(BUILDASAN) -DORVANTA_SANITIZE=address,undefined $(CMAKE_ARGS)
	cmake --build $(BUILDASAN) -j $(JOBS)
	bash tools/sanitize/run-lane.sh $(BUILDASAN) address -j $(JOBS)

# ThreadSanitizer: the tests labelled "threads" (the core's parameter hand-over,
# plug-in instances of every format on threads of their own, orvanta-level
# --jobs 2 with its progress display) and what they run.
TSAN_TARGETS := core_handover_tsan concurrent_instances orvanta-level cli_test_helper
sanitize-thread: deps
	cmake -S . -B $(BUILDTSAN) -DORVANTA_SANITIZE=thread $(CMAKE_ARGS)
	cmake --build $(BUILDTSAN) -j $(JOBS) --target $(TSAN_TARGETS)
	bash tools/sanitize/run-lane.sh $(BUILDTSAN) thread -j $(JOBS) -L threads

# The file fuzzer of orvanta-level's input path, for SECONDS seconds: a clang
# build with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer. A
# crash prints its input and becomes a case in tests/fuzz/regressions.
BUILDFUZZ := $(BUILD)/fuzz
fuzz:
	@bash tools/install-deps.sh fuzz
	CC=clang CXX=clang++ cmake -S . -B $(BUILDFUZZ) -DORVANTA_FUZZ=ON -DORVANTA_SANITIZE=address,undefined $(CMAKE_ARGS)
	cmake --build $(BUILDFUZZ) -j $(JOBS) --target level_file_fuzzer fuzz_seed_files
	bash tests/fuzz/fuzz.sh run $(BUILDFUZZ) $(SECONDS)

# Randomized stress of the engine with fresh seeds, for SECONDS seconds.
SECONDS ?= 60
stress: configure
	cmake --build $(BUILD) -j $(JOBS) --target engine_stress
	$(BUILD)/tests/engine/engine_stress --seconds $(SECONDS)

install: build
	bash tools/install.sh $(BUILD)/plugins "$(PREFIX)"

# Debian packages of this tree's build, amd64 and i386, into build/deb
# (debian/rules says what each holds).
deb: build
	bash tools/make-deb.sh $(BUILD)/deb

# The Windows installer (NSIS) and zip, into build/windows-installer.
windows-installer: build
	bash windows-installer/make.sh $(BUILD)/plugins $(BUILD)/windows-installer

screenshots: build
	bash tools/screenshots.sh $(BUILD)

clean:
	rm -rf $(BUILD)
