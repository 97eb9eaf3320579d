# Ardovan: `make run` starts the program, `make demo` runs its main job on a virtual recorder,
# `make test` builds and passes every test.
.PHONY: all deps build test test-default test-asan test-tsan release demo run format lint clean
.PHONY: package

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

# The whole suite, then the unit tests again under AddressSanitizer + UndefinedBehaviorSanitizer,
# then the threaded parts (jobs, platform, disc reader) under ThreadSanitizer.
test: test-default test-asan test-tsan

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

lint: build
	git ls-files '*.cpp' | grep -v '^tests/' | xargs clang-tidy -p build/default --quiet

clean:
	rm -rf build
