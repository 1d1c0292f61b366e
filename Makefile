# Orvanta: the user's entry points. `make test` and `make demo` set up a fresh
# Debian 12 machine (packages), build both architectures and run.
BUILD     := build
BUILD32   := $(BUILD)/i386
JOBS      ?= $(shell nproc)
PREFIX    ?=
CMAKE_ARGS ?=

.PHONY: all deps configure build test demo bench plugins install screenshots clean

all: build

deps:
	@bash tools/install-deps.sh

$(BUILD32)/CMakeCache.txt:
	cmake -S . -B $(BUILD32) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/i386.cmake \
	  -DORVANTA_PLUGIN_OUTPUT_DIR=$(CURDIR)/$(BUILD)/plugins $(CMAKE_ARGS)

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DORVANTA_I386_DIR=$(CURDIR)/$(BUILD32) $(CMAKE_ARGS)

configure: deps $(BUILD32)/CMakeCache.txt $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD32) -j $(JOBS)
	cmake --build $(BUILD) -j $(JOBS)

plugins: build

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	bash tools/demo.sh $(BUILD)

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target orvanta_bench
	$(BUILD)/bench/orvanta_bench

install: build
	bash tools/install.sh $(BUILD)/plugins "$(PREFIX)"

screenshots: build
	bash tools/screenshots.sh $(BUILD)

clean:
	rm -rf $(BUILD)
