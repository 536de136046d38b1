# The two set-up commands on a fresh Debian 12 machine are `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_TIME  ?= 20
FUZZ_LIMITS = -malloc_limit_mb=64 -rss_limit_mb=256 -timeout=10
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
PREFIX     ?= /usr/local

.PHONY: all deps test-deps bench-deps configure build run install package test asan fuzz bench \
        bench-process format tidy clean

all: build

deps:
	@scripts/install-deps

test-deps:
	@scripts/install-deps --test

bench-deps:
	@scripts/install-deps --bench

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: deps build
	$(BUILD)/bin/zarvello

# DESTDIR, when given, is honoured by cmake --install itself.
install: deps build
	cmake --install $(BUILD) --prefix $(PREFIX)

package: deps build
	cd $(BUILD) && cpack -G DEB

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZARVELLO_SANITIZE=ON \
	      -DZARVELLO_E2E=OFF -DZARVELLO_BENCH=OFF $(CMAKE_ARGS)

asan: $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# libFuzzer needs clang, so the fuzz targets are a project of their own. New
# inputs go to the build folder; the checked-in corpus is only read. The large
# seeds are made at fuzz time and run once each (mutating megabyte inputs
# finds little in 20 s and would fill the corpus); the memory and time caps
# make a missing input cap fail the run, not only a crash.
$(FUZZ_BUILD)/build.ninja:
	cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
	      -DCMAKE_BUILD_TYPE=RelWithDebInfo

fuzz: test-deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@mkdir -p $(FUZZ_BUILD)/corpus/regformat
	@fuzz/make-seeds $(FUZZ_BUILD)/seeds/regformat
	@echo "fuzz: regformat_fuzz over the large seeds, then for $(FUZZ_TIME) s"
	@$(FUZZ_BUILD)/regformat_fuzz $(FUZZ_LIMITS) -artifact_prefix=$(FUZZ_BUILD)/ \
	    $(FUZZ_BUILD)/seeds/regformat/*.reg > $(FUZZ_BUILD)/regformat_seeds.log 2>&1 \
	    || { tail -n 60 $(FUZZ_BUILD)/regformat_seeds.log; exit 1; }
	@$(FUZZ_BUILD)/regformat_fuzz -max_total_time=$(FUZZ_TIME) -max_len=4096 $(FUZZ_LIMITS) \
	    -dict=fuzz/regformat.dict -artifact_prefix=$(FUZZ_BUILD)/ \
	    $(FUZZ_BUILD)/corpus/regformat fuzz/corpus/regformat \
	    > $(FUZZ_BUILD)/regformat_fuzz.log 2>&1 \
	    || { tail -n 60 $(FUZZ_BUILD)/regformat_fuzz.log; exit 1; }
	@grep -E '^Done [0-9]+ runs' $(FUZZ_BUILD)/regformat_fuzz.log

test: test-deps build asan fuzz
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L 'unit|widget|e2e'
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS) -L 'unit|widget'

bench: bench-deps build
	$(BUILD)/bench/zarvello_bench
	bench/process-cost --build $(BUILD)

# The running program against a bare Qt label, idle and under loopback traffic (needs
# root, for its network namespace). SOAK=1800 adds a 30-minute run for memory growth.
bench-process: bench-deps build
	bench/process-cost --build $(BUILD)

format:
	find src tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

# clang-tidy cannot read GCC's precompiled headers: a build folder without them.
TIDY_BUILD ?= build-tidy
tidy:
	cmake -S . -B $(TIDY_BUILD) -G Ninja -DZARVELLO_PCH=OFF -DZARVELLO_E2E=OFF -DZARVELLO_BENCH=OFF
	cmake --build $(TIDY_BUILD) --target zarvello_core_autogen
	find src -name '*.cpp' | xargs clang-tidy -p $(TIDY_BUILD) --quiet

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(TIDY_BUILD)
