# Ardovan: `make run` starts the program, `make demo` runs its main job on a virtual recorder,
# `make test` builds and passes every test.
.PHONY: all deps build test test-default test-asan test-tsan release demo run format lint clean
.PHONY: package format-check lint-check test-readers test-quick

JOBS ?= 2
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

# On the default build: the slow checks with independent readers and real clients, and all
# the other tests but the package.
test-readers: build
	ctest --preset default -L 'readers|clients'

test-quick: build
	ctest --preset default -LE 'readers|clients|package'

# The sources are clang-format clean, clang-tidy finds no error (scripts/lint-check), then the
# whole suite, the unit tests again under AddressSanitizer + UndefinedBehaviorSanitizer, and the
# threaded parts (jobs, platform, disc reader) under ThreadSanitizer.
test: format-check lint-check test-default test-asan test-tsan

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
