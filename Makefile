# Entry points for people and CI. The real build is CMake's:
#   make demo    build the Linux tavo alone (installing cmake, g++, make as root when
#                missing), copy a generated sample file with it, resume
#   make test    install what is missing (as root), build every program, run every test
#                (the Linux build's also under AddressSanitizer and UBSan, the Windows
#                programs' under wine), and make the packages; TAVO_NO_WIN32=1 leaves
#                out the 32-bit Windows suite as a kernel without 32-bit emulation must;
#                the packages come from the trees it tested
#   make fuzz    run each libFuzzer target for FUZZ_SECONDS (60) over its corpus, and the
#                software real against the x87 unit as long, from a new seed
#   make install build the Linux tavo alone (no tests, no GoogleTest), and install it,
#                stripped, its manual and its bash completion under PREFIX
#                (/usr/local), inside DESTDIR when set
#   make uninstall  remove what the last `make install` put, and the directories it
#                leaves empty under PREFIX
#   make package the .deb and the Windows zips, built twice from fresh trees and the two
#                compared, checked, with SHA256SUMS, in build/packages
#   make bench   speed against a bare read loop and dd: bench/results.md, results.png;
#                --direct against dd and fio; the loop with and without the profile
#   make format  clang-format the sources
#   make clean   remove build/
SHELL := /bin/bash
.SHELLFLAGS := -eu -o pipefail -c

LINUX_BUILD := build/linux
SANITIZE_BUILD := build/sanitize
WINDOWS_BUILD := build/windows
WINDOWS64_BUILD := build/windows64
FUZZ_BUILD := build/fuzz
FUZZ_SECONDS := 60
FUZZ_SMOKE_SECONDS := 3
PACKAGE_DIR := build/packages
PACKAGE_BUILDS := build/package
PREFIX := /usr/local
DEMO_BUILD := build/demo
PROGRAM_BUILD := build/program
DEMO_DIR := $(DEMO_BUILD)/run
DEMO_MIB := 64
JOBS := $(shell nproc 2>/dev/null || echo 2)

# Linux ports: Debian's triplet and qemu's name of each. `make test-ports` runs all of
# arm64's suites that run under qemu, the cli's transcripts included; of the others
# (TAVO_PORTS picks them) the units, the scenarios and the fault probes.
PORTS := arm64 armhf riscv64 s390x
TAVO_PORTS := $(PORTS)
# The cli cases that wait longest (sixteen copies stopped by signals, copies that
# outlast their map's first interval, a log of Progress reports 5 s apart), each a test
# of its own (cli_NAME); the Linux build's suite runs them, the others leave them out.
CLI_SLOW_CASES := stopped_copies slow_copies progress_log
# The ports whose suites `make test` runs; each other port's takes a minute or two more.
TEST_PORTS := arm64
UNTESTED_PORTS = $(filter-out $(TEST_PORTS),$(PORTS))
# What `make test` leaves to other targets, to stay within minutes: one line says it.
LEFT_TO_OTHERS = make test: left to other targets:$(if $(UNTESTED_PORTS), the suites of \
  $(UNTESTED_PORTS) under qemu (make test-ports);) the packages built twice in fresh trees \
  and compared (make package; make test packages the trees it tested); the fuzz targets \
  and the software real against the x87 for $(FUZZ_SECONDS) s rather than $(FUZZ_SMOKE_SECONDS) (make fuzz)
TRIPLET_arm64 := aarch64-linux-gnu
TRIPLET_armhf := arm-linux-gnueabihf
TRIPLET_riscv64 := riscv64-linux-gnu
TRIPLET_s390x := s390x-linux-gnu
QEMU_arm64 := aarch64
QEMU_armhf := arm
QEMU_riscv64 := riscv64
QEMU_s390x := s390x
PORT_FULL := arm64
PORT_TARGETS := tavo tavo_unit_tests tavo_scenario_tests tavo_probe
PORT_SUITES := ^(unit|scenarios|probe_.*)$$

GENERATOR := $(if $(shell command -v ninja 2>/dev/null),-G Ninja,-G "Unix Makefiles")
CMAKE_FLAGS := $(GENERATOR)
WINDOWS_FLAGS := -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake
WINDOWS64_FLAGS := -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake

.PHONY: all demo test deps linux windows windows64 test-linux test-sanitize test-windows \
	test-windows64 check-windows test-windows-programs fuzzers fuzz fuzz-real test-fuzz install uninstall \
	package bench format clean wineprefix-windows wineprefix-windows64 test-ports $(addprefix port-,$(PORTS)) $(addprefix test-,$(PORTS))

all: linux

linux:
	cmake -S . -B $(LINUX_BUILD) $(CMAKE_FLAGS)
	cmake --build $(LINUX_BUILD) -j $(JOBS)

windows:
	cmake -S . -B $(WINDOWS_BUILD) $(CMAKE_FLAGS) $(WINDOWS_FLAGS)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

windows64:
	cmake -S . -B $(WINDOWS64_BUILD) $(CMAKE_FLAGS) $(WINDOWS64_FLAGS)
	cmake --build $(WINDOWS64_BUILD) -j $(JOBS)

# port-arm64 and the like: the Linux program of a port (and the tests that port runs).
$(addprefix port-,$(PORTS)): port-%:
	cmake -S . -B build/$* $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/$(TRIPLET_$*).cmake
	cmake --build build/$* -j $(JOBS) $(if $(filter $*,$(PORT_FULL)),,--target $(PORT_TARGETS))

# The program and its manual, in a build tree of their own, as the demo builds them.
install:
	cmake -S . -B $(PROGRAM_BUILD) $(GENERATOR) -DTAVO_TESTS=OFF
	cmake --build $(PROGRAM_BUILD) -j $(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install $(PROGRAM_BUILD) --prefix "$(PREFIX)" --strip

# What the last `make install` put, by the list it left in its build tree.
uninstall:
	bash cmake/uninstall.sh $(PROGRAM_BUILD)/install_manifest.txt "$(DESTDIR)" "$(PREFIX)"

# Each Windows program is packaged where its compiler is here.
package:
	JOBS=$(JOBS) ONCE=$(ONCE) TREES="$(TREES)" bash cmake/make-packages.sh $(PACKAGE_DIR) \
	  $(PACKAGE_BUILDS)

# The program alone, in a build tree of its own (no tests, no GoogleTest), copies a
# file of pseudo-random bytes with `tavo sample copy`; then the copy is cut short, as
# an interrupted run leaves it, and the same command resumes it.
demo:
	@bash cmake/install-deps.sh demo
	cmake -S . -B $(DEMO_BUILD) $(GENERATOR) -DTAVO_TESTS=OFF
	cmake --build $(DEMO_BUILD) -j $(JOBS) --target tavo
	mkdir -p $(DEMO_DIR)
	test -s $(DEMO_DIR)/sample || head -c $$(( $(DEMO_MIB) << 20 )) /dev/urandom >$(DEMO_DIR)/sample
	rm -f $(DEMO_DIR)/copy
	cd $(DEMO_DIR) && $(CURDIR)/$(DEMO_BUILD)/tavo sample copy
	cmp $(DEMO_DIR)/sample $(DEMO_DIR)/copy
	@echo "demo: the copy is identical to the sample; now cut it to 40000000 bytes and resume"
	truncate -s 40000000 $(DEMO_DIR)/copy
	cd $(DEMO_DIR) && $(CURDIR)/$(DEMO_BUILD)/tavo sample copy
	cmp $(DEMO_DIR)/sample $(DEMO_DIR)/copy
	@echo "demo: the resumed copy is identical to the sample"

# The build trees of the suites, which `make test` packages: the programs it tested.
TESTED_TREES := linux=$(LINUX_BUILD) linux-arm64=build/arm64 windows-i686=$(WINDOWS_BUILD) \
  windows-x86_64=$(WINDOWS64_BUILD)

# Installs what is missing, then builds and tests every program. What cannot be
# installed or run here is named in one line, and the part that needs it is skipped;
# any failed test or build makes the whole target fail.
test: deps
	@status=0 took=; \
	step() { local start=$$SECONDS; $(MAKE) --no-print-directory "$$@" || status=1; \
	  took+="$${took:+, }$$1 $$((SECONDS - start)) s"; }; \
	step test-linux; \
	step test-sanitize; \
	step test-fuzz; \
	step test-windows-programs; \
	step test-ports TAVO_PORTS="$(TEST_PORTS)"; \
	step package ONCE=1 TREES="$(TESTED_TREES)"; \
	echo "$(LEFT_TO_OTHERS)"; \
	echo "make test: time taken: $$took"; \
	if [[ $$status -eq 0 ]]; then echo "make test: all passed"; else echo "make test: FAILED"; fi; \
	exit $$status

# Each port's suite runs where its cross compiler is here and qemu starts its programs.
test-ports:
	@status=0; \
	for port in $(foreach p,$(TAVO_PORTS),$(p):$(TRIPLET_$(p)):$(QEMU_$(p))); do \
	  IFS=: read -r name triplet arch <<<"$$port"; \
	  if ! why=$$(cmake/qemu-probe.sh $$triplet $$arch); then \
	    echo "make test: NOT RUN: the $$name suite: $$why"; \
	  else \
	    $(MAKE) --no-print-directory test-$$name || status=1; \
	  fi; \
	done; \
	exit $$status

# A port's tests under qemu. The damaged media of the cli cases come from the Linux
# build's faulty_fs, which runs natively.
$(addprefix test-,$(PORTS)): CMAKE_FLAGS += -DTAVO_WERROR=ON
$(addprefix test-,$(PORTS)): test-%: port-%
	@faulty=$(CURDIR)/$(LINUX_BUILD)/tests/faulty_fs; [[ -x $$faulty ]] || faulty=; \
	status=0; FAULTY_FS=$$faulty TAVO_CLI_SKIP="$(CLI_SLOW_CASES)" \
	  ctest --test-dir build/$* --output-on-failure -j $(JOBS) \
	  $(if $(filter $*,$(PORT_FULL)),,-R '$(PORT_SUITES)') || status=$$?; \
	grep -ahiE '^skip |skipped' build/$*/Testing/Temporary/LastTest.log || true; exit $$status

# Each Windows program's suite runs where its compiler and its wine loader are here.
# Whether this kernel runs 32-bit programs is found out by starting wine's 32-bit
# loader; where it cannot, the 32-bit program is still built and its format checked.
test-windows-programs:
	@status=0; \
	if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then \
	  echo "make test: NOT RUN: the 64-bit Windows suite: mingw-w64 for x86-64 (posix) is not installed"; \
	elif ! why=$$(cmake/wine-run.sh win64 --probe); then \
	  echo "make test: NOT RUN: the 64-bit Windows suite: $$why"; \
	else \
	  $(MAKE) --no-print-directory test-windows64 || status=1; \
	fi; \
	if ! command -v i686-w64-mingw32-g++-posix >/dev/null; then \
	  echo "make test: NOT RUN: the 32-bit Windows build and suite: mingw-w64 for i686 (posix) is not installed"; \
	elif [[ -z "$(TAVO_NO_WIN32)" ]] && why=$$(cmake/wine-run.sh win32 --probe); then \
	  $(MAKE) --no-print-directory test-windows || status=1; \
	else \
	  [[ -n "$(TAVO_NO_WIN32)" ]] && why="TAVO_NO_WIN32 is set"; \
	  $(MAKE) --no-print-directory check-windows || status=1; \
	  echo "make test: NOT RUN: the 32-bit Windows suite ($$why); its program was built and its format checked"; \
	fi; \
	exit $$status

# ctest in build directory $(1), $(2) tests at a time (JOBS by default); then the lines
# in which tests say what they skipped.
RUN_CTEST = status=0; ctest --test-dir $(1) --output-on-failure -j $(or $(2),$(JOBS)) || status=$$?; \
  grep -ahiE '^skip |skipped' $(1)/Testing/Temporary/LastTest.log || true; exit $$status

# Tests build with warnings as errors; the flag carries over to the build targets.
test-linux test-windows test-windows64 check-windows: CMAKE_FLAGS += -DTAVO_WERROR=ON

# The Linux suite's longest tests spend most of their time asleep (FUSE media that
# answer slowly, signals at chosen moments, tmux): one more runs than there are cores.
test-linux: linux
	$(call RUN_CTEST,$(LINUX_BUILD),$(shell echo $$(($(JOBS) + 1))))

# The Linux build's tests again with AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer; any report fails the test that made it.
test-sanitize:
	cmake -S . -B $(SANITIZE_BUILD) $(CMAKE_FLAGS) -DTAVO_WERROR=ON -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	export TAVO_CLI_SKIP="$(CLI_SLOW_CASES)"; $(call RUN_CTEST,$(SANITIZE_BUILD))

test-windows: wineprefix-windows windows
	$(call RUN_CTEST,$(WINDOWS_BUILD))

test-windows64: wineprefix-windows64 windows64
	$(call RUN_CTEST,$(WINDOWS64_BUILD))

# A suite's wine prefix is made in the background while its program builds, since
# wineboot spends most of its time waiting; the suite's first test waits for it under
# wine-run.sh's lock, and makes it again, saying why, if it failed.
wineprefix-windows wineprefix-windows64: wineprefix-%:
	@mkdir -p build/$* && { cmake/wine-run.sh $(if $(filter %64,$*),win64,win32) \
	  build/$*/wineprefix --init >build/$*/wineprefix-init.log 2>&1 & }

# The 32-bit program built and its format checked: all that needs no wine. (Its tests
# are the 64-bit program's, which the 64-bit build compiles with warnings as errors.)
check-windows:
	cmake -S . -B $(WINDOWS_BUILD) $(CMAKE_FLAGS) $(WINDOWS_FLAGS)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target tavo
	ctest --test-dir $(WINDOWS_BUILD) --output-on-failure -R '^exe_format$$'

# libFuzzer targets for the command line, the real-number text and the map parser, built by clang with
# AddressSanitizer and UBSan. The test command runs each briefly over its corpus.
fuzzers:
	cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_CXX_COMPILER=clang++ -DTAVO_TESTS=OFF \
	  -DTAVO_FUZZ=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_command_line fuzz_real_text \
	  fuzz_map_parser

fuzz: fuzzers
	bash tests/fuzz/run_fuzzers.sh $(FUZZ_SECONDS) $(FUZZ_BUILD)
	$(MAKE) --no-print-directory fuzz-real

# The software real against the x87 unit for FUZZ_SECONDS, from a new seed each run
# (the test prints it; TAVO_REAL_SEED=N repeats a run).
fuzz-real: CMAKE_FLAGS += -DTAVO_WERROR=ON
fuzz-real: linux
	TAVO_REAL_SECONDS=$(FUZZ_SECONDS) TAVO_REAL_SEED=$${TAVO_REAL_SEED:-$$(date +%s%N)} \
	  $(LINUX_BUILD)/tests/tavo_real_tests

test-fuzz:
	@if echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, long) { return 0; }' | \
	  clang++ -x c++ -fsanitize=fuzzer,address,undefined -o /dev/null - 2>/dev/null; then \
	  $(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(FUZZ_SMOKE_SECONDS); \
	else \
	  echo "make test: NOT RUN: the fuzz smoke: clang++ with libFuzzer (clang, libclang-rt-14-dev) is not installed"; \
	fi

deps:
	@bash cmake/install-deps.sh

# Not part of `make test`: figures, not pass or fail. Installs its own tools as root.
bench:
	bash bench/run_benchmarks.sh
	bash bench/run_direct_bench.sh
	bash bench/run_profile_bench.sh
	bash bench/run_rescue_bench.sh

format:
	find src include tests bench \( -name '*.cc' -o -name '*.h' \) -print0 | xargs -0 -r clang-format -i

clean:
	rm -rf build
