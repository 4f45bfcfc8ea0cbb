# Quick start: `make demo` and `make test`. Both install missing packages first.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
DEB_DIR ?= $(BUILD)/deb
CMAKE_FLAGS ?=

.PHONY: all deps build build-asan build-tsan test test-normal test-asan test-tsan test-packages demo bench fuzz fuzz-smoke \
	install deb clean mutate test-ratio

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTAV_SANITIZE=ON -DTAV_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-normal: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The library and its threads test only, under ThreadSanitizer.
build-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_SANITIZE_THREAD=ON -DTAV_BUILD_BENCH=OFF \
	  -DTAV_BUILD_PYTHON=OFF $(CMAKE_FLAGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target test_reliability_threads

test-tsan: build-tsan
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(TSAN_BUILD) --output-on-failure -R reliability_threads

# Debian packages of the normal build (libtav1, libtav-dev, tav-tools,
# python3-tav) in $(DEB_DIR), checked by lintian.
deb: build
	rm -rf $(DEB_DIR)
	cd $(BUILD) && cpack -G DEB -B $(abspath $(DEB_DIR))
	lintian --fail-on error $(DEB_DIR)/*.deb

# The packages as users install them, made from the normal build: the debs
# unpacked into a scratch root, pip into a fresh virtual environment.
test-packages: deb
	tests/install/packages.sh $(BUILD) $(DEB_DIR)

# Every test, in a normal build and in a sanitizer build, the threads test
# under ThreadSanitizer, the fuzz targets briefly over their seed corpora,
# then the packages.
test: test-normal test-asan test-tsan fuzz-smoke test-packages

demo: build
	scripts/demo.sh $(BUILD)

bench: build
	scripts/bench.sh $(BUILD)

$(FUZZ_BUILD)/.configured: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTAV_BUILD_FUZZ=ON -DTAV_BUILD_TESTS=OFF -DTAV_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	touch $@

fuzz-build: $(FUZZ_BUILD)/.configured
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Runs each fuzz target over its corpus only (a few seconds in all).
fuzz-smoke: fuzz-build
	scripts/fuzz.sh $(FUZZ_BUILD) 0

# Runs each fuzz target for FUZZ_SECONDS.
fuzz: fuzz-build
	scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Plants small faults in src/ one at a time (MUTANTS=N, SEED=S) and prints
# the kill rate and the surviving mutants; not part of `make test`.
mutate: deps
	nice -n 10 python3 scripts/mutate.py
	@scripts/test-ratio.sh

test-ratio:
	@scripts/test-ratio.sh

install: build
	cmake --install $(BUILD) --prefix $(or $(PREFIX),/usr/local)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) build-pip
