# Velmora: set up, build, run and test.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test check-sanitizers fuzz bench screenshots clean

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)

configure: $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Starts the program on the simulated computer of the demo rig (its widget and fixtures),
# with <build>/run-data as its data folder and working directory, where the build stages
# the generated firmware and content, and a documents folder of its own there, so the
# user's folders stay untouched. Without a display it runs under a virtual one, so that it
# still starts.
RIG ?= $(CURDIR)/sim/rigs/demo.json
RUN_DATA = $(abspath $(BUILD_DIR))/run-data
RUN_ENV = VELMORA_RIG="$(RIG)" VELMORA_APPDATA="$(RUN_DATA)" VELMORA_DOCUMENTS="$(RUN_DATA)/Documents"
run: deps
	$(MAKE) build
	@mkdir -p "$(RUN_DATA)/Documents"
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  cd "$(RUN_DATA)" && $(RUN_ENV) $(abspath $(BUILD_DIR))/app/velmora; \
	else \
	  echo "No display found: Velmora runs under a virtual display (xvfb-run)."; \
	  cd "$(RUN_DATA)" && $(RUN_ENV) xvfb-run -a $(abspath $(BUILD_DIR))/app/velmora; \
	fi

test: deps
	$(MAKE) build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

# The README's pictures of the windows, taken on the demo rig under a virtual display.
SCREENSHOTS ?= $(CURDIR)/docs/screenshots
screenshots: deps
	$(MAKE) build
	xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" $(BUILD_DIR)/tools/screenshots/screenshots "$(SCREENSHOTS)"

# The whole suite built with AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer
# in a build folder of its own; any report fails the build or the test that made it, but
# for the system libraries' own leaks listed in tools/sanitizers/lsan.supp.
SANITIZER_BUILD_DIR ?= $(BUILD_DIR)-asan
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tools/sanitizers/lsan.supp \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
check-sanitizers: deps
	cmake -S . -B $(SANITIZER_BUILD_DIR) -G Ninja -DVELMORA_SANITIZE=ON $(CMAKE_FLAGS)
	$(SANITIZER_ENV) cmake --build $(SANITIZER_BUILD_DIR) -j $(JOBS)
	cd $(SANITIZER_BUILD_DIR) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS) --timeout 600

# The libFuzzer targets of fuzz/, built with clang (coverage instrumentation, AddressSanitizer,
# UndefinedBehaviorSanitizer) in a build folder of their own; each then runs for SECONDS
# seconds (FUZZ_PARALLEL at a time), and any finding fails. FUZZERS names some targets only.
FUZZ_BUILD_DIR ?= $(BUILD_DIR)-fuzz
SECONDS ?= 60
FUZZ_PARALLEL ?= 1
FUZZERS ?=
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD_DIR) -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DVELMORA_FUZZ=ON -DVELMORA_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	ASAN_OPTIONS=detect_leaks=0 cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS) --target fuzz
	fuzz/run-fuzzers $(FUZZ_BUILD_DIR) $(SECONDS) $(FUZZ_PARALLEL) $(FUZZERS)

bench: deps
	cmake -S . -B $(BUILD_DIR)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCHMARKS=ON
	cmake --build $(BUILD_DIR)-bench -j $(JOBS)
	@for b in $(BUILD_DIR)-bench/bench/bench_*; do if [ -f "$$b" ] && [ -x "$$b" ]; then "$$b" || exit 1; fi; done
	@for c in bench/compare-*; do if [ -f "$$c" ] && [ -x "$$c" ]; then "$$c" $(BUILD_DIR)-bench || exit 1; fi; done

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-bench $(SANITIZER_BUILD_DIR) $(FUZZ_BUILD_DIR)
