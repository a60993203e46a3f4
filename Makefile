# The two commands of the quick start: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=Release

.PHONY: setup build run test bench clean

setup:
	@bash scripts/setup

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/cavewing $(ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Google Benchmark, in its own optimised build folder.
bench: setup
	cmake -S . -B build-bench $(CMAKE_FLAGS) -DCAVEWING_BENCH=ON -DBUILD_TESTING=OFF
	cmake --build build-bench -j $(JOBS) --target cavewing_bench
	build-bench/bench/cavewing_bench

clean:
	rm -rf $(BUILD) build-bench
