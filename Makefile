# Corvane 2: `make run` sets up, builds and starts the program; `make test` sets up, builds and runs
# every test. Both install what is missing first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
CMAKE_ARGS := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_WERROR=ON

.PHONY: deps configure build program run test format-check asan bench

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

program: configure
	@cmake --build $(BUILD) -j $(JOBS) --target corvane2

run: program
	@scripts/run.sh $(BUILD)/corvane2

format-check: deps
	@scripts/check-format.sh

asan: deps
	@cmake -S . -B $(ASAN_BUILD) $(CMAKE_ARGS) -DCORVANE_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@echo "== every test under AddressSanitizer + UBSan"
	@cd $(ASAN_BUILD) && $(CURDIR)/scripts/with-display.sh ctest --output-on-failure -j $(JOBS)

test: format-check asan build
	@echo "== every test"
	@cd $(BUILD) && $(CURDIR)/scripts/with-display.sh ctest --output-on-failure -j $(JOBS)

bench: deps
	@cmake -S . -B $(BENCH_BUILD) $(CMAKE_ARGS) -DCORVANE_BUILD_TESTS=OFF -DCORVANE_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@cd $(BENCH_BUILD) && ctest -L bench --output-on-failure -V
