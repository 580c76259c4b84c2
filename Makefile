# The two commands of the README, and the steps they are made of.
#   make test   installs what is missing, builds every target, checks the sources' format, runs every
#               test (each fuzz target for about 30 s)
#   make demo   a teller session against lodevar.exe under Wine, with the emulated printer's page
#               as text and as a picture (FAMILY=0 or FAMILY=2 for the other printer families)
#   make demo-native   the printer link alone against the emulator, natively
#   make fuzz   runs each fuzz target for FUZZ_SECONDS (600 unless given), or until FUZZ_RUNS
#               inputs have run when that is given; FUZZ_TARGETS picks the targets
#   make bench  the benchmarks under Wine, each printed as a ratio measured in the one run
#               (scripts/bench; docs/performance.md); best on an otherwise idle machine

JOBS ?= $(shell nproc)
FAMILY ?= 1
FUZZ_SECONDS ?= 600
FUZZ_TARGETS = client_block printer_bytes library_answers

.PHONY: test demo demo-native fuzz fault bench deps build build-demo build-native build-fuzz build-mingw-x64 \
	build-mingw-i686 build-bench unit e2e format format-check clean

test: deps build format-check
	ctest --preset native
	ctest --preset fuzz
	scripts/run-wine-tests

demo: deps build-demo
	scripts/demo $(FAMILY)

demo-native: deps
	cmake --preset native
	cmake --build --preset native -j $(JOBS) --target lodevar-demo
	build/native/demo/lodevar-demo

# Only what the demo runs: the emulator natively; the driver, the client and the test tools for Windows.
build-demo:
	cmake --preset native
	cmake --build --preset native -j $(JOBS) --target lodevar-emu
	cmake --preset mingw-x64
	cmake --build --preset mingw-x64 -j $(JOBS) --target lodevar pbclient desktop-tool fake_printer_library

bench: deps build-bench
	scripts/bench

# Only what the benchmarks run: the emulator and the protocol-time program natively, optimised and
# without sanitizers; the driver, the clients and the test tools for Windows.
build-bench:
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS) --target lodevar-emu lodevar-protocol-time
	cmake --preset mingw-x64
	cmake --build --preset mingw-x64 -j $(JOBS) --target lodevar pbclient desktop-tool fake_printer_library \
		bench-client bare-window bench-floor

deps:
	scripts/install-deps.sh

build: build-native build-fuzz build-mingw-x64 build-mingw-i686

build-native:
	cmake --preset native
	cmake --build --preset native -j $(JOBS)

build-fuzz:
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)

fuzz: deps build-fuzz
	for target in $(FUZZ_TARGETS); do \
		scripts/run-fuzzer build/fuzz/fuzz/fuzz_$$target fuzz/corpus/$$target build/fuzz/fuzz/corpus/$$target \
			$(FUZZ_SECONDS) $(if $(FUZZ_RUNS),-runs=$(FUZZ_RUNS)) || exit 1; \
	done

build-mingw-x64:
	cmake --preset mingw-x64
	cmake --build --preset mingw-x64 -j $(JOBS)

build-mingw-i686:
	cmake --preset mingw-i686
	cmake --build --preset mingw-i686 -j $(JOBS)

e2e: build-native build-mingw-x64 build-mingw-i686
	scripts/run-wine-tests

# The fault and load scenarios under Wine (docs/failure-modes.md).
fault: build-native build-mingw-x64 build-mingw-i686
	scripts/run-wine-tests -L fault

format:
	git ls-files '*.c' '*.cpp' '*.h' | xargs clang-format -i

# Fails on a source file that clang-format would change (outside a git checkout there is no list).
format-check:
	if git rev-parse --git-dir >/dev/null 2>&1; then \
		git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run -Werror; fi

clean:
	rm -rf build
