# Quick start: `make demo` (run the program against the stand-in servers) and `make test`.
BUILD_DIR ?= build
BENCH_DIR ?= build-bench
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
WINDOWS_DIR ?= build-windows
QT_WINDOWS ?=

.PHONY: deps configure build test demo bench windows clean

deps:
	@scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo $(BUILD_DIR)

bench:
	@scripts/install-deps bench
	cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DMTH_BENCH=ON -DBUILD_TESTING=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS)
	@echo "Benchmarks built in $(BENCH_DIR)/bench; see bench/README.md for how to run them."

# The Windows program and its installer, cross-built with the Qt for Windows given as QT_WINDOWS (a folder
# or the tarball of tools/windows/build-qt.sh).
windows:
	@scripts/build-windows $(WINDOWS_DIR) "$(QT_WINDOWS)" $(CMAKE_FLAGS)

clean:
	rm -rf $(BUILD_DIR) $(BENCH_DIR) $(WINDOWS_DIR) build-asan build-fuzz
