# The two commands of the README:
#   make run   installs what is missing, builds and starts the window program
#   make test  installs what is missing, builds and runs every test
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	@scripts/run-window.sh $(BUILD)/velora

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: build
	@scripts/install-deps.sh --bench
	@scripts/run-benchmarks.sh $(BUILD)

clean:
	rm -rf $(BUILD)
