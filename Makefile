# The two commands of the README:
#   make run   installs what the program needs, builds and starts the window program
#   make test  installs what the tests need as well, builds and runs every test
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps test-deps configure build run test bench package fuzz clean

all: build

deps:
	@scripts/install-deps.sh

test-deps:
	@scripts/install-deps.sh --test

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: configure
	cmake --build $(BUILD) -j$(JOBS) --target velora
	@scripts/run-window.sh $(BUILD)/velora

# Configured again so that GoogleTest, installed just now, is found.
test: test-deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: build
	@scripts/install-deps.sh --bench
	@scripts/run-benchmarks.sh $(BUILD)

# The Debian package, build/velora_VERSION_ARCH.deb.
package: build
	@scripts/install-deps.sh --package
	cd $(BUILD) && cpack -G DEB

# Every parser of outside bytes under libFuzzer, ASan and UBSan, FUZZ_SECONDS (60) each,
# built in build-fuzz with clang.
fuzz:
	@scripts/run-fuzz.sh build-fuzz

clean:
	rm -rf $(BUILD)
