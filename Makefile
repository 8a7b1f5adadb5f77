# Two commands do all the set-up on a fresh Debian 12 machine:
#   make run    install what is missing, build, run the example script
#   make test   install what is missing, build, run every test
BUILD    ?= build
ASAN     ?= build-asan
FUZZ     ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS     ?= $(shell nproc)

.PHONY: all deps build run test test-fast test-asan bench fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run-example.sh $(BUILD)

# The optimised build first, then the whole suite again under the address and
# undefined-behaviour sanitizers, then every fuzz target for FUZZ_SECONDS.
test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) test-asan
	$(MAKE) fuzz

test-fast: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSKERROW_SANITIZE=ON -DSKERROW_BENCH=OFF
	cmake --build $(ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS)

# libFuzzer targets (clang), one per reader of outside input, each run for a
# bounded time from the seed corpus in fuzz/corpus/.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKERROW_FUZZ=ON \
	  -DSKERROW_TESTS=OFF -DSKERROW_BENCH=OFF -DSKERROW_WINDOW=OFF
	cmake --build $(FUZZ) -j $(JOBS)
	bash fuzz/run.sh $(FUZZ) $(FUZZ_SECONDS)

bench: build
	$(BUILD)/bench/bench_pipeline
	$(BUILD)/bench/bench_render

clean:
	rm -rf $(BUILD) $(ASAN) $(FUZZ)
