# Thin wrapper around CMake + Ninja. `make test` is the project's test command.
JOBS ?= $(shell nproc)
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize

.PHONY: all deps build test test-sanitize bench clean render fuzz

all: build

deps:
	@bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTREL_SANITIZE=ON -DVANTREL_BENCHMARKS=OFF
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build build-release -j $(JOBS)
	@for b in build-release/bench/bench_*; do echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) build-release

# Builds in Release and renders the built-in scene to out/scene.png and the room's panorama, from
# the middle of the room, to out/room-pano.png.
render: deps
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build build-release -j $(JOBS) --target vantrel-render
	mkdir -p out
	build-release/bin/vantrel-render -o out/scene.png
	build-release/bin/vantrel-render --scene room --projection equirect --size 2048x1024 -o out/room-pano.png
	@echo "wrote out/scene.png and out/room-pano.png"

# Builds the readers' libFuzzer targets with clang and runs each for FUZZ_SECONDS.
FUZZ_SECONDS ?= 600
fuzz:
	@bash scripts/install-deps fuzz
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
		-DVANTREL_FUZZ=ON -DVANTREL_TESTS=OFF -DVANTREL_BENCHMARKS=OFF
	cmake --build build-fuzz -j $(JOBS) --target stl_reader_fuzzer obj_reader_fuzzer
	mkdir -p build-fuzz/corpus build-fuzz/corpus-obj
	cp fuzz/corpus/*.stl build-fuzz/corpus/
	cp fuzz/corpus/*.obj build-fuzz/corpus-obj/
	build-fuzz/bin/stl_reader_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=8192 -print_final_stats=1 build-fuzz/corpus
	build-fuzz/bin/obj_reader_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=8192 -print_final_stats=1 build-fuzz/corpus-obj
