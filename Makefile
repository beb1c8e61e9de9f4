# The two set-up commands of the README: `make run` and `make test`.
JOBS ?= $(shell nproc)

.PHONY: deps build build-asan build-fuzz run test crash package package-test bench fuzz fuzz-test run-fuzz format clean

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

test: build-asan build-fuzz
	ctest --preset asan -j $(JOBS)
	$(MAKE) --no-print-directory run-fuzz DURACAO=$(FUZZ_TEST_SECONDS)

# Power cuts at every disk step of the capture path: the whole crash-point
# harness (make test runs a bounded part of it). Prints the number of crash
# states checked.
crash: build-asan
	cd build-asan && LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8 QT_QPA_PLATFORM=offscreen TARNEX_QUEDAS=todos \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ./bin/testes_quedas

# A Debian package of the connector, the component server, fcmsim,
# criaposto and auditoria-encerrantes (build/concentrador-tarnex_*.deb), from
# the release build of what it holds.
PACOTE_ALVOS = ConcentradorTarnex FcmMasterX fcmsim criaposto auditoria-encerrantes arquivos_pacote
package: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target $(PACOTE_ALVOS)
	cd build && cpack -G DEB

# The package installed, a station made in /opt/concentrador-tarnex, then
# upgraded with a fueling pending in the journal and one held off-line by the
# component server. It needs root on Debian, installs and purges the package
# and writes to /opt, so it is not part of `make test`; elsewhere it says why
# and stops before building anything.
package-test:
	JOBS=$(JOBS) ./tests/pacote/teste-pacote.sh

format:
	find app common concentrator database platform records simulator tests windows \
	    -name '*.h' -o -name '*.cpp' 2>/dev/null | xargs -r clang-format -i

clean:
	rm -rf build build-asan build-fuzz

# Capture speed and memory figures (a benchmark, not a test).
bench: build
	./build/bin/bench_captura

# The libFuzzer targets, FUZZ_SECONDS each (default 600); a crash leaves its
# input in build-fuzz/ (crash-*) and becomes a regular test. `make test` runs each for
# FUZZ_TEST_SECONDS as a smoke check.
FUZZ_TARGETS = FuzzProtocolo FuzzTextos FuzzDataOffLine FuzzArquivoIni
FUZZ_SECONDS ?= 600
FUZZ_TEST_SECONDS ?= 15

build-fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS) --target $(FUZZ_TARGETS)

fuzz: build-fuzz
	$(MAKE) --no-print-directory run-fuzz DURACAO=$(FUZZ_SECONDS)

fuzz-test: build-fuzz
	$(MAKE) --no-print-directory run-fuzz DURACAO=$(FUZZ_TEST_SECONDS)

run-fuzz:
	for alvo in $(FUZZ_TARGETS); do \
	    mkdir -p build-fuzz/corpus/$$alvo && \
	    (cd build-fuzz && LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ./bin/$$alvo \
	        -max_total_time=$(DURACAO) -print_final_stats=1 \
	        corpus/$$alvo $(CURDIR)/tests/fuzz/casos/$$alvo) || exit 1; \
	done
