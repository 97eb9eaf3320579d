# Ardovan: `make run` starts the program, `make demo` runs its main job on a virtual recorder,
# `make test` builds and passes every test.
.PHONY: all deps build test test-default test-asan test-tsan test-fuzz fuzz fuzz-build fuzz-seeds release demo run format lint clean
.PHONY: package format-check lint-check test-readers test-quick

JOBS ?= 2
# Seconds each libFuzzer harness runs in `make fuzz`.
FUZZ_SECONDS ?= 60
STAMP := build/.deps-installed

all: build

$(STAMP): scripts/install-deps
	./scripts/install-deps
	mkdir -p build && touch $(STAMP)

deps: $(STAMP)

build: deps
	cmake --preset default
	cmake --build --preset default -j$(JOBS)

release: deps
	cmake --preset release
	cmake --build --preset release -j$(JOBS)

test-default: build
	ctest --preset default

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j$(JOBS)
	ctest --preset asan

test-tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j$(JOBS) --target test_engine test_platform test_reader
	ctest --preset tsan -L 'engine|platform|reader'

fuzz-build: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j$(JOBS)

# Every harness on its corpus for 20 s with a fixed seed: the regression inputs replay first.
# The per-input limit is generous here, as other test runs share the machine.
test-fuzz: fuzz-build
	./scripts/fuzz --seconds 20 --timeout 10 --seed 1

# The harnesses for FUZZ_SECONDS each; an input over one second counts as a hang.
fuzz: fuzz-build
	./scripts/fuzz --seconds $(FUZZ_SECONDS)

# Remakes the seed corpora of the drive, recorder and reader harnesses from virtual recorders.
fuzz-seeds: fuzz-build
	./build/fuzz/tests/fuzz/fuzz-seeds tests/fuzz/corpus

# On the default build: the slow checks with independent readers and real clients, and all
# the other tests but the package.
test-readers: build
	ctest --preset default -L 'readers|clients'

test-quick: build
	ctest --preset default -LE 'readers|clients|package'

# The sources are clang-format clean, clang-tidy finds no error (scripts/lint-check), then the
# whole suite, the unit tests again under AddressSanitizer + UndefinedBehaviorSanitizer, the
# threaded parts (jobs, platform, disc reader) under ThreadSanitizer, and the fuzzers for a short
# while over their corpora.
test: format-check lint-check test-default test-asan test-tsan test-fuzz

# The Debian package, from the release build: build/release/ardovan_<version>_<arch>.deb.
package: deps
	cmake --preset release
	cmake --build --preset release -j$(JOBS) --target ardovan-package-contents
	cd build/release && cpack -G DEB

demo: release
	./scripts/demo

run: build
	./scripts/run

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

lint: build
	git ls-files '*.cpp' | grep -v '^tests/' | xargs clang-tidy -p build/default --quiet

lint-check: build
	JOBS=$(JOBS) ./scripts/lint-check build/default

clean:
	rm -rf build
