# The two everyday commands (see README.md):
#   make demo  - install packages, build Release, lay out build/work/, run the main job
#   make test  - install packages, build with ASan+UBSan and run every test label with ctest,
#                then the same in a Release build with the tests (make test-release alone)
JOBS ?= $(shell nproc)
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
# ccache hashes paths relative to the checkout, so another clone of the tree reuses the cache.
export CCACHE_BASEDIR := $(CURDIR)

.PHONY: deps demo build test test-asan test-release asan release-tests clean

deps:
	./scripts/install-deps.sh

build: deps
	cmake -S . -B build $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DTELMIRA_TESTS=OFF
	cmake --build build -j $(JOBS)

demo: build
	./scripts/demo.sh build/work

asan: deps
	cmake -S . -B build-asan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DTELMIRA_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)

# Release with the tests: -O2 shows warnings and behaviour the Debug sanitizer build does not.
release-tests: deps
	cmake -S . -B build-release $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DTELMIRA_TESTS=ON
	cmake --build build-release -j $(JOBS)

test-asan: asan
	cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-release: release-tests
	cd build-release && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# One configuration after the other, even under make -j: each build uses every core.
test: test-asan
	$(MAKE) test-release

clean:
	rm -rf build build-asan build-release
