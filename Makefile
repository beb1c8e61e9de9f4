# The two set-up commands of the README: `make run` and `make test`.
JOBS ?= $(shell nproc)

.PHONY: deps build build-asan run test bench fuzz format clean

deps:
	./tools/instalar-dependencias.sh

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)

run: build
	./tools/executar.sh build/bin

test: build-asan
	ctest --preset asan -j $(JOBS)

format:
	find app common concentrator database platform records simulator tests windows \
	    -name '*.h' -o -name '*.cpp' 2>/dev/null | xargs -r clang-format -i

clean:
	rm -rf build build-asan build-fuzz

# Capture speed and memory figures (a benchmark, not a test).
bench: build
	./build/bin/bench_captura

# The libFuzzer targets, FUZZ_SECONDS each (default 600); a crash leaves its
# input in build-fuzz/ and becomes a regular test.
FUZZ_SECONDS ?= 600
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS) --target FuzzProtocolo FuzzTextos FuzzDataOffLine
	cd build-fuzz && for alvo in FuzzProtocolo FuzzTextos FuzzDataOffLine; do \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ./bin/$$alvo -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 || exit 1; \
	done
