# The two set-up commands on a fresh Debian 12 machine are `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps test-deps configure build run test asan bench format tidy clean

all: build

deps:
	@scripts/install-deps

test-deps:
	@scripts/install-deps --test

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: deps build
	$(BUILD)/bin/zarvello

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZARVELLO_SANITIZE=ON \
	      -DZARVELLO_E2E=OFF -DZARVELLO_BENCH=OFF $(CMAKE_ARGS)

asan: $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test: test-deps build asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L 'unit|widget|e2e'
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS) -L 'unit|widget'

bench: deps build
	$(BUILD)/bench/zarvello_bench

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

tidy: configure
	find src -name '*.cpp' | xargs clang-tidy -p $(BUILD) --quiet

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
