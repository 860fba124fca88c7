# Tarvel: build, run and test. See README.md.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
ARGS ?=

WIN_DIR := build/win
NATIVE_DIR := build/native
SANITIZE_DIR := build/native-sanitize
TSAN_DIR := build/native-tsan

.PHONY: all deps build win native tools sanitize tsan run test test-native test-win bench fuzz screenshots clean

all: build

deps:
	@scripts/install-deps.sh

$(WIN_DIR)/build.ninja:
	cmake -S . -B $(WIN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

$(NATIVE_DIR)/build.ninja:
	cmake -S . -B $(NATIVE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEL_TESTS=OFF

$(SANITIZE_DIR)/build.ninja:
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVEL_SANITIZE=ON

$(TSAN_DIR)/build.ninja:
	cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVEL_TSAN=ON

# Tarvel.exe and the Windows tests.
win: $(WIN_DIR)/build.ninja
	cmake --build $(WIN_DIR) -j $(JOBS)

# The native command-line tools, optimised, into build/native/bin/.
native tools: $(NATIVE_DIR)/build.ninja
	cmake --build $(NATIVE_DIR) -j $(JOBS)

# Native unit tests with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: $(SANITIZE_DIR)/build.ninja
	cmake --build $(SANITIZE_DIR) -j $(JOBS)

# The engine's tests under ThreadSanitizer.
tsan: $(TSAN_DIR)/build.ninja
	cmake --build $(TSAN_DIR) -j $(JOBS) --target tarvel_engine_tests

build: deps win native

run: deps win
	scripts/run.sh $(ARGS)

test-native: sanitize tsan
	cd $(SANITIZE_DIR) && ctest --output-on-failure -j $(JOBS)
	cd $(TSAN_DIR) && ctest --output-on-failure -j $(JOBS) -R '^EngineTest\.'
	scripts/check-layers.sh

test-win: win
	scripts/with-wine-env.sh bash -c 'cd $(WIN_DIR) && ctest --output-on-failure'

test: deps
	@$(MAKE) --no-print-directory win native sanitize tsan
	@$(MAKE) --no-print-directory test-native test-win

# Decoder speed against mpg123 on the same file (not part of the tests).
bench:
	scripts/bench.sh

# libFuzzer over the stream feed and the decoder, or the playlist text:
# make fuzz FUZZ_SECONDS=600 [FUZZ_TARGET=playlist]
FUZZ_SECONDS ?= 600
fuzz:
	scripts/fuzz.sh $(FUZZ_SECONDS) $(FUZZ_TARGET)

# Pictures of the real program's main window into docs/.
screenshots: deps win
	scripts/screenshots.sh

clean:
	rm -rf build
