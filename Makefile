# Two commands do all the set-up on a fresh Debian 12 machine:
#   make run    install what is missing, build, run the example script
#   make test   install what is missing, build, run every test
BUILD    ?= build
ASAN     ?= build-asan
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
# undefined-behaviour sanitizers.
test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) test-asan

test-fast: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSKERROW_SANITIZE=ON -DSKERROW_BENCH=OFF
	cmake --build $(ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS)

bench: build
	$(BUILD)/bench/bench_pipeline
	$(BUILD)/bench/bench_render

clean:
	rm -rf $(BUILD) $(ASAN)
