# The two everyday commands (see README.md):
#   make demo  - install packages, build Release, lay out build/work/, run the main job
#   make test  - install packages, build with ASan+UBSan, run every test label with ctest
JOBS ?= $(shell nproc)
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
# ccache hashes paths relative to the checkout, so another clone of the tree reuses the cache.
export CCACHE_BASEDIR := $(CURDIR)

.PHONY: deps demo build test asan clean

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

test: asan
	cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build build-asan
