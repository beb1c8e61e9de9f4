# The two set-up commands of the README: `make run` and `make test`.
JOBS ?= $(shell nproc)

.PHONY: deps build build-asan run test bench format clean

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
	rm -rf build build-asan

# Capture speed and memory figures (a benchmark, not a test).
bench: build
	./build/bin/bench_captura
