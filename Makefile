# Corvane 2: `make run` sets up, builds and starts the program; `make test` sets up, builds and runs
# every test. Both install what is missing first.
#
# `make test` builds once, with AddressSanitizer + UBSan and -Werror, and runs every test there; the
# capture tests run again under ThreadSanitizer in a small build of their own. Compiles go through ccache
# when it is installed, so a second run in a fresh build folder reuses the first one's objects.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
PKG_BUILD  ?= build-pkg
FUZZ_RUNS  ?= 10000000
FUZZ_MAX_LEN ?= 70000
TSAN_BUILD ?= build-capture-tsan
JOBS       ?= $(shell nproc)
# Many tests wait on tools, servers and real-time streams more than they compute: twice as many as cores at once.
TEST_JOBS  ?= $(shell expr $$(nproc) \* 2)
CMAKE_ARGS := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_WERROR=ON

.PHONY: deps deps-run deps-fuzz players configure build program run test format-check asan asan-build bench fuzz tsan package

# $(call stage,NAME,COMMAND): runs COMMAND and says how long it took.
stage = start=$$(date +%s); $(2) && echo "== $(1): $$(($$(date +%s) - start)) s (load $$(cut -d' ' -f1-3 /proc/loadavg))"

# What building and running the program needs; `deps` adds what the tests and checks use.
deps-run:
	@scripts/install-deps.sh run

deps:
	@scripts/install-deps.sh test

deps-fuzz:
	@scripts/install-deps.sh fuzz

# The players the adaptive-stream tests serve to Chromium.
players: deps
	@$(call stage,test players,scripts/test-players.sh)

configure: deps-run
	@cmake -S . -B $(BUILD) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

program: configure
	@cmake --build $(BUILD) -j $(JOBS) --target corvane2

run: program
	@scripts/run.sh $(BUILD)/corvane2

format-check: deps
	@$(call stage,format check,scripts/check-format.sh)

# Everything the normal build compiles (the program, the tests, the screenshots tool), with -Werror.
asan-build: deps
	@cmake -S . -B $(ASAN_BUILD) $(CMAKE_ARGS) -DCORVANE_SANITIZE=ON >/dev/null
	@$(call stage,asan build,cmake --build $(ASAN_BUILD) -j $(JOBS))

asan: asan-build players
	@echo "== every test under AddressSanitizer + UBSan"
	@$(call stage,asan tests,cd $(ASAN_BUILD) && $(CURDIR)/scripts/with-display.sh ctest --output-on-failure -j $(TEST_JOBS))

test: format-check asan tsan

bench: deps
	@cmake -S . -B $(BENCH_BUILD) $(CMAKE_ARGS) -DCORVANE_BUILD_TESTS=OFF -DCORVANE_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@cd $(BENCH_BUILD) && $(CURDIR)/scripts/with-display.sh ctest -L bench --output-on-failure -V

# A Debian package of the program (Release, no tests). The tools beside it are pinned to the system's paths,
# which are where the installed package finds them. The icons are drawn from the SVG logo.
package: deps-run
	@command -v rsvg-convert >/dev/null || command -v convert >/dev/null || \
		{ echo "make package: drawing the icons needs rsvg-convert (librsvg2-bin) or ImageMagick" >&2; exit 1; }
	@cmake -S . -B $(PKG_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_TESTS=OFF \
		-DCORVANE_BUILD_BENCH=OFF -DCORVANE_FFMPEG=/usr/bin/ffmpeg -DCORVANE_FFPLAY=/usr/bin/ffplay \
		-DCORVANE_YTDLP=/usr/bin/yt-dlp >/dev/null
	@cmake --build $(PKG_BUILD) -j $(JOBS)
	@cd $(PKG_BUILD) && cpack -G DEB >/dev/null
	@ls $(PKG_BUILD)/corvane2_*.deb

# The frame matcher under libFuzzer (clang, ASan + UBSan), seeded with generated frame sequences; then the
# playlist readers, seeded with the unit tests' playlists.
fuzz: deps-fuzz
	@CXX=clang++ cmake -S tests/fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@rm -rf $(FUZZ_BUILD)/seeds && $(FUZZ_BUILD)/make_seeds $(FUZZ_BUILD)/seeds
	@mkdir -p $(FUZZ_BUILD)/corpus
	@echo "== frame matcher fuzzing, $(FUZZ_RUNS) runs"
	@$(FUZZ_BUILD)/fuzz_FrameMatcher -runs=$(FUZZ_RUNS) -max_len=$(FUZZ_MAX_LEN) -print_final_stats=1 \
		$(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/seeds
	@rm -rf $(FUZZ_BUILD)/playlist-seeds && mkdir -p $(FUZZ_BUILD)/playlist-seeds $(FUZZ_BUILD)/playlist-corpus
	@cp tests/data/streams/* $(FUZZ_BUILD)/playlist-seeds/
	@echo "== playlist fuzzing, $(FUZZ_RUNS) runs"
	@$(FUZZ_BUILD)/fuzz_Playlists -runs=$(FUZZ_RUNS) -max_len=$(FUZZ_MAX_LEN) -print_final_stats=1 \
		$(FUZZ_BUILD)/playlist-corpus $(FUZZ_BUILD)/playlist-seeds

# The capture library's unit, thread and live-capture tests under ThreadSanitizer (gcc: clang 14 lacks std::source_location).
tsan: deps
	@cmake -S . -B $(TSAN_BUILD) $(CMAKE_ARGS) -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
		-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
	@$(call stage,tsan build,cmake --build $(TSAN_BUILD) -j $(JOBS) --target tst_FrameMatcher \
		tst_SniffReportQueue tst_CaptureLive)
	@echo "== capture tests under ThreadSanitizer"
	@$(call stage,tsan tests,cd $(TSAN_BUILD) && TSAN_OPTIONS="die_after_fork=0 halt_on_error=1 \
		suppressions=$(CURDIR)/tests/capture/tsan.supp" \
		ctest -R '^tst_(FrameMatcher|SniffReportQueue|CaptureLive)$$' --output-on-failure)
