# Entry points for a newcomer: `make run` starts Almanex, `make test` passes the tests.
# Both install what is missing on a fresh Debian 12 machine first.
BUILD ?= build
STAGE := $(BUILD)/stage
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DALMANEX_WERROR=ON

PACKAGES := cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev \
            libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth dbus dbus-x11 desktop-file-utils \
            python3-dbus python3-gi openbox xdotool poppler-utils libical-dev \
            librsvg2-bin appstream imagemagick bash-completion groff-base dpkg-dev debootstrap \
            clang-14 libfuzzer-14-dev libclang-rt-14-dev

# The fuzz build: clang with libFuzzer, ASan and UBSan, in a build folder of its own.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= 2
# libFuzzer's random seed; 0 takes a new one each run.
FUZZ_SEED ?= 0
FUZZ_TARGETS := fuzz_ini_round_trip fuzz_date_pattern fuzz_registry_round_trip fuzz_version_block
# The targets fuzzed for FUZZ_SECONDS (all are run over their seeds).
FUZZ_RUN_TARGETS ?= $(FUZZ_TARGETS)

.PHONY: all deps configure build stage run test bench clean format package package-test fuzz

all: build

deps:
	@./tools/install-deps.sh $(PACKAGES)

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) -DCMAKE_INSTALL_PREFIX=$(abspath $(STAGE))

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

stage: build
	cmake --install $(BUILD) --prefix $(abspath $(STAGE)) > /dev/null
	@mkdir -p $(STAGE)/Config

run: stage
	$(STAGE)/bin/almanex

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian package build/almanex_<version>_<arch>.deb (CPack; dpkg-shlibdeps writes its dependencies).
package: build
	rm -f $(BUILD)/almanex_*.deb
	cmake --build $(BUILD) --target package

# Installs that package into a fresh Debian 12 root (debootstrap, as root) and runs almanex-cli there.
# The first run builds and caches the root (about 1.5 min on a quiet machine); later runs reuse it (under 1 min).
package-test: package
	./tests/e2e/package-test.sh $(BUILD) || [ $$? -eq 77 ]

# Builds the fuzz targets, runs each over its seeds, then each for FUZZ_SECONDS, FUZZ_JOBS at a time;
# fails on any finding.
$(FUZZ_BUILD)/build.ninja:
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DALMANEX_FUZZ=ON

fuzz: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) --target $(FUZZ_TARGETS) -j $(JOBS)
	cd $(FUZZ_BUILD) && ctest --output-on-failure -j $(FUZZ_JOBS)
	FUZZ_SEED=$(FUZZ_SEED) ./tests/fuzz/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_JOBS) $(FUZZ_RUN_TARGETS)

bench: build
	./bench/run-all.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
