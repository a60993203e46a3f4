# SPDX-License-Identifier: MIT
# The two commands of the quick start: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=Release
PREFIX ?= /usr/local

.PHONY: measure setup build run test soak check-asan fuzz install package bench web web-headless serve web-bench web-audit server server-bench clean

setup:
	@bash scripts/setup

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/cavewing $(ARGS)

test: build web
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The long soak: SOAK_GAMES random games (`make test` plays a few hundred).
SOAK_GAMES ?= 10000
soak: build
	CAVEWING_SOAK_GAMES=$(SOAK_GAMES) $(BUILD)/tests/core_tests --gtest_filter='Soak.*'

# The WebAssembly build, with Debian's emscripten, from the same Qt-free sources in $(WEB)/.
# Its tools find their own JavaScript modules only through NODE_PATH.
WEB ?= build-web
EMSDK_ENV = NODE_PATH=/usr/share/nodejs

$(WEB)/build.ninja:
	$(EMSDK_ENV) emcmake cmake -S . -B $(WEB) -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DCAVEWING_DESKTOP=OFF

web: setup $(WEB)/build.ninja
	$(EMSDK_ENV) cmake --build $(WEB) -j $(JOBS)

# The page on this machine only, at the first free port from SERVE_PORT on: the page's files
# alone, not the build's (scripts/serve-page.py).
SERVE_PORT ?= 8000
serve: web
	@exec python3 scripts/serve-page.py $(WEB) $(SERVE_PORT)

# The score server with the page, on this machine only, at the first free port from SERVE_PORT on,
# with its SQLite table in $(BUILD)/server-state/. Root's server serves as nobody, who is handed
# that folder; where nobody cannot reach it (a clone in root's 0700 home), the table is kept in
# $(ROOT_SERVER_STATE)/ instead, a folder of nobody's own.
ROOT_SERVER_STATE ?= /var/tmp/cavewing-server-state
server: web $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target cavewing-server
	@state=$(CURDIR)/$(BUILD)/server-state; mkdir -p "$$state"; \
	if [ "$$(id -u)" -eq 0 ]; then \
	  chown nobody "$$state"; \
	  if ! runuser -u nobody -- test -w "$$state"; then \
	    state=$(ROOT_SERVER_STATE); \
	    [ ! -L "$$state" ] || { echo "$$state is a link; not using it" >&2; exit 1; }; \
	    mkdir -p -m 700 "$$state" && chown nobody "$$state"; \
	  fi; \
	fi; \
	echo "the table is kept in $$state/"; \
	port=$(SERVE_PORT); \
	until python3 -c "import socket; socket.socket().bind(('127.0.0.1', $$port))" 2>/dev/null; \
	do port=$$((port + 1)); done; \
	exec $(BUILD)/cavewing-server --listen 127.0.0.1 --port $$port \
	  --db "$$state/cavewing-scores.sqlite" --web $(CURDIR)/$(WEB)

# Verified games per second and latency, on loopback: SERVER_CLIENTS clients x SERVER_GAMES games,
# SQLite with one server, then PostgreSQL with two; before them, honest players' latency with
# 1,000 slow connections open and memory under 64 stalled 30 MiB announcements.
SERVER_CLIENTS ?= 16
SERVER_GAMES ?= 50
server-bench: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target cavewing_server_bench
	$(BUILD)/cavewing_server_bench $(CURDIR)/$(BUILD)/cavewing-server $(SERVER_CLIENTS) $(SERVER_GAMES)

# The page's first frame and its cost per frame, in headless Chromium.
web-bench: web
	node bench/web-bench.mjs $(WEB)

# Lighthouse (pinned in package-lock.json) in Debian's Chromium, desktop and mobile presets,
# against `make serve`'s server: the four category scores and the largest contentful paint.
# A measure, not a test: not part of `make test`.
CHROME_PATH ?= /usr/bin/chromium
web-audit: web
	CHROME_PATH=$(CHROME_PATH) node scripts/web-audit.mjs $(WEB)

# Only what the tests take from it: the headless replay for Node.
web-headless: setup $(WEB)/build.ninja
	$(EMSDK_ENV) cmake --build $(WEB) -j $(JOBS) --target cavewing-headless

# Every test again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
check-asan: setup web
	cmake -S . -B $(BUILD)-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCAVEWING_SANITIZE=ON
	cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Fuzzes the high-score file reader, then the recorded-game reader, with libFuzzer for FUZZ_TIME
# seconds each. New findings go to $(BUILD)-fuzz/corpus and $(BUILD)-fuzz/recording-corpus; copy the
# ones worth keeping into tests/fuzz/corpus or tests/fuzz/recording-corpus, which `make test` replays.
# Inputs reach well past one line's bound (4096 bytes) and one field's.
FUZZ_TIME ?= 60
fuzz: setup
	mkdir -p $(BUILD)-fuzz/corpus
	clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -Isrc \
	  tests/fuzz/QuotedRecordsFuzz.cpp src/form/QuotedRecords.cpp -o $(BUILD)-fuzz/records_fuzz
	$(BUILD)-fuzz/records_fuzz -max_total_time=$(FUZZ_TIME) -max_len=65536 -timeout=5 \
	  $(BUILD)-fuzz/corpus tests/fuzz/corpus
	mkdir -p $(BUILD)-fuzz/recording-corpus
	clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -Isrc \
	  tests/fuzz/RecordingFuzz.cpp src/replay/Recording.cpp src/form/KeptFile.cpp \
	  -o $(BUILD)-fuzz/recording_fuzz
	$(BUILD)-fuzz/recording_fuzz -max_total_time=$(FUZZ_TIME) -max_len=65536 -timeout=5 \
	  $(BUILD)-fuzz/recording-corpus tests/fuzz/recording-corpus

# DESTDIR, if set, is honoured as usual: make install DESTDIR=/tmp/stage PREFIX=/usr
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A .deb for Debian 12, in $(BUILD)/.
package: build
	cd $(BUILD) && cpack -G DEB

# Google Benchmark, in its own optimised build folder.
bench: setup
	cmake -S . -B $(BUILD)-bench $(CMAKE_FLAGS) -DCAVEWING_BENCH=ON -DBUILD_TESTING=OFF
	cmake --build $(BUILD)-bench -j $(JOBS) --target cavewing_bench
	$(BUILD)-bench/bench/cavewing_bench
	QT_SCALE_FACTOR=2 $(BUILD)-bench/bench/cavewing_bench --benchmark_filter=ShownFlyingFrame


# Speed and memory of the real program under Xvfb, against the goals (about 8 minutes).
measure: build
	cmake --build $(BUILD) --target cavewing_frame_floor cavewing_xcb_floor
	FLOOR=$(BUILD)/cavewing_frame_floor XCB_FLOOR=$(BUILD)/cavewing_xcb_floor \
	  scripts/measure $(BUILD)/cavewing

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-fuzz $(BUILD)-bench $(WEB)
