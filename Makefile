# The two commands of the README, and the steps they are made of.
#   make test   installs what is missing, builds every target, runs every test
#   make demo   builds and runs the main job against the bundled printer emulator

JOBS ?= $(shell nproc)

.PHONY: test demo deps build build-native build-mingw-x64 build-mingw-i686 unit e2e format clean

test: deps build
	ctest --preset native
	scripts/run-wine-tests

demo: deps build-native
	build/native/demo/lodevar-demo

deps:
	scripts/install-deps.sh

build: build-native build-mingw-x64 build-mingw-i686

build-native:
	cmake --preset native
	cmake --build --preset native -j $(JOBS)

build-mingw-x64:
	cmake --preset mingw-x64
	cmake --build --preset mingw-x64 -j $(JOBS)

build-mingw-i686:
	cmake --preset mingw-i686
	cmake --build --preset mingw-i686 -j $(JOBS)

e2e: build-native build-mingw-x64
	scripts/run-wine-tests

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
