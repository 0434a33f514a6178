# Two commands do all set-up on a fresh Debian 12 machine:
#   make run    installs what is missing, builds (optimised) and starts Kelvora
#   make test   installs what is missing, builds with sanitizers and runs every test
# `make bench` builds optimised and runs the benchmarks.
# `make package` builds optimised and makes the Debian package build/kelvora_<version>_amd64.deb.

RELEASE_DIR := build/release
ASAN_DIR    := build/asan
JOBS        ?= $(shell nproc)

.PHONY: run test bench deps release asan format package

deps:
	@tools/install-deps

release: deps
	@cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(RELEASE_DIR) -j $(JOBS)

asan: deps
	@cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVORA_SANITIZE=ON -DKELVORA_WERROR=ON >/dev/null
	@cmake --build $(ASAN_DIR) -j $(JOBS)

run: release
	@tools/run-kelvora $(RELEASE_DIR)/bin/kelvora

test: asan
	@cd $(ASAN_DIR) && ctest --output-on-failure -j $(JOBS) -LE bench

bench: release
	@cd $(RELEASE_DIR) && ctest -L bench --verbose

format:
	@git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i

package: release
	@cd $(RELEASE_DIR) && cpack >/dev/null
	@cp $(RELEASE_DIR)/kelvora_*_amd64.deb build/
	@ls build/kelvora_*_amd64.deb
