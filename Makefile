# Entry points: `make run` and `make test` install what is missing, build and run.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)

.PHONY: all setup build run test asan bench fuzz format clean

all: build

setup:
	@bash tools/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@cd examples && ../$(BUILD)/quillane example.txt

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan: setup
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILLANE_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

# The libFuzzer harnesses of fuzz/ (needs clang; not part of the tests). Seed and run:
#   build/fuzz-seeds corpus && build-fuzz/codec_fuzz -max_total_time=600 corpus/codec
fuzz: setup
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DQUILLANE_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target codec_fuzz treefile_fuzz

bench: build
	@bash bench/run.sh $(BUILD)

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
