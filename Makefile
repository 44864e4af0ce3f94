# Entry points for people and CI. The real build is CMake's:
#   make demo    build the Linux tavo, copy a generated sample file with it, resume
#   make test    install what is missing (as root), build both programs, run every test
#                (the Linux build's also under AddressSanitizer and UBSan)
#   make bench   speed against a bare read loop and dd: bench/results.md, results.png
#   make format  clang-format the sources
#   make clean   remove build/
SHELL := /bin/bash
.SHELLFLAGS := -eu -o pipefail -c

LINUX_BUILD := build/linux
SANITIZE_BUILD := build/sanitize
WINDOWS_BUILD := build/windows
DEMO_DIR := build/demo
DEMO_MIB := 64
JOBS := $(shell nproc 2>/dev/null || echo 2)

GENERATOR := $(if $(shell command -v ninja 2>/dev/null),-G Ninja,-G "Unix Makefiles")
CMAKE_FLAGS := $(GENERATOR)
WINDOWS_FLAGS := -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake

.PHONY: all demo test deps linux windows test-linux test-sanitize test-windows bench format clean

all: linux

linux:
	cmake -S . -B $(LINUX_BUILD) $(CMAKE_FLAGS)
	cmake --build $(LINUX_BUILD) -j $(JOBS)

windows:
	cmake -S . -B $(WINDOWS_BUILD) $(CMAKE_FLAGS) $(WINDOWS_FLAGS)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# A file of pseudo-random bytes, copied with `tavo sample copy`; then the copy is cut
# short, as an interrupted run leaves it, and the same command resumes it.
demo: linux
	mkdir -p $(DEMO_DIR)
	test -s $(DEMO_DIR)/sample || head -c $$(( $(DEMO_MIB) << 20 )) /dev/urandom >$(DEMO_DIR)/sample
	rm -f $(DEMO_DIR)/copy
	cd $(DEMO_DIR) && $(CURDIR)/$(LINUX_BUILD)/tavo sample copy
	cmp $(DEMO_DIR)/sample $(DEMO_DIR)/copy
	@echo "demo: the copy is identical to the sample; now cut it to 40000000 bytes and resume"
	truncate -s 40000000 $(DEMO_DIR)/copy
	cd $(DEMO_DIR) && $(CURDIR)/$(LINUX_BUILD)/tavo sample copy
	cmp $(DEMO_DIR)/sample $(DEMO_DIR)/copy
	@echo "demo: the resumed copy is identical to the sample"

# Installs what is missing, then builds and tests both programs. What cannot be
# installed is named, and the part that needs it is skipped; any failed test or
# build makes the whole target fail.
test: deps
	@status=0; \
	$(MAKE) --no-print-directory test-linux || status=1; \
	$(MAKE) --no-print-directory test-sanitize || status=1; \
	if [[ -x "$$(command -v i686-w64-mingw32-g++-posix)" && -x "$$(command -v wine)" ]]; then \
	  $(MAKE) --no-print-directory test-windows || status=1; \
	else \
	  echo "make test: SKIPPED the Windows build and its tests: mingw-w64 (i686, posix) or wine is not installed"; \
	fi; \
	if [[ $$status -eq 0 ]]; then echo "make test: all passed"; else echo "make test: FAILED"; fi; \
	exit $$status

# Tests build with warnings as errors; the flag carries over to the build targets.
test-linux test-windows: CMAKE_FLAGS += -DTAVO_WERROR=ON

test-linux: linux
	ctest --test-dir $(LINUX_BUILD) --output-on-failure -j $(JOBS)

# The Linux build's tests again with AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer; any report fails the test that made it.
test-sanitize:
	cmake -S . -B $(SANITIZE_BUILD) $(CMAKE_FLAGS) -DTAVO_WERROR=ON -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j $(JOBS)

test-windows: windows
	ctest --test-dir $(WINDOWS_BUILD) --output-on-failure -j $(JOBS)

deps:
	@bash cmake/install-deps.sh

# Not part of `make test`: figures, not pass or fail. Installs its own tools as root.
bench:
	bash bench/run_benchmarks.sh

format:
	find src include tests bench \( -name '*.cc' -o -name '*.h' \) -print0 | xargs -0 -r clang-format -i

clean:
	rm -rf build
