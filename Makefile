# Thin wrapper around CMake.  `make` builds everything into build/, `make run`
# builds only Tavrin and its data directory and starts it, `make test` builds
# and runs every test, `make test-asan` runs them under ASan+UBSan (every node
# and every scratch array of the number kernels taken from the heap at
# exactly the size asked for), `make test-tsan` runs the tests of the threaded
# routes (their suites are named *Thread*) under ThreadSanitizer.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
# The test binaries that hold threaded suites: test-tsan builds only these.
TSAN_TESTS ?= test_core test_numbers test_dense test_gcd test_matrix test_det

.PHONY: all configure build run test test-asan test-tsan bench clean

all: build

configure:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The executable and BACKWARD/ only: no test or benchmark is built.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target tavrin >/dev/null
	./$(BUILD)/tavrin

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan:
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTAVRIN_SANITIZE=ON -DTAVRIN_POOL_BYPASS=ON -DTAVRIN_EXACT_BUFFERS=ON -DTAVRIN_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

test-tsan:
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_TSAN=ON -DTAVRIN_BENCH=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TESTS)
	cd $(TSAN_BUILD) && ctest --output-on-failure -j $(JOBS) -R 'Thread'

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
