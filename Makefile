# One-command entry points. `make test` works on a fresh Debian 12 machine as root: it installs
# what it needs from Debian's packages, builds both targets and runs every test.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -G Ninja -DKX_WERROR=ON

.PHONY: all deps deps-linux linux win32 win64 asan tsan lint package test test-linux test-win32 test-win64 test-asan \
  test-tsan \
  test-package demo \
  bench bench-small fuzz fuzz-corpus clean

all: linux win32 win64

# deps-linux: the Linux build, its tests and the demo; deps adds the Windows tool chains and Wine
# (32-bit Wine only where the kernel starts 32-bit programs).
deps-linux:
	bash scripts/install-deps.sh linux

deps:
	bash scripts/install-deps.sh win32

linux:
	cmake -S . -B $(BUILD)/linux $(CMAKE_FLAGS)
	cmake --build $(BUILD)/linux -j $(JOBS)

# The Wine tests of the download talk to the Linux build's provider simulator. MINGW_CXX is the
# compiler cmake/toolchain-mingw-i686.cmake names. The 64-bit DLL (build/win64) is the same
# sources for 64-bit hosts; its tests run under 64-bit Wine, which starts on every kernel.
MINGW_CXX = i686-w64-mingw32-g++-posix
WIN_CONFIGURE = cmake -S . $(CMAKE_FLAGS) -DKX_SIMULATOR=$(abspath $(BUILD))/linux/bin/kxprovider
WIN32_CONFIGURE = $(WIN_CONFIGURE) -B $(BUILD)/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
WIN64_CONFIGURE = $(WIN_CONFIGURE) -B $(BUILD)/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
win32: linux
	$(WIN32_CONFIGURE)
	cmake --build $(BUILD)/win32 -j $(JOBS)

win64: linux
	$(WIN64_CONFIGURE)
	cmake --build $(BUILD)/win64 -j $(JOBS)

# The library, tools and tests again under AddressSanitizer and UndefinedBehaviorSanitizer. Without
# -Werror: GCC's flow warnings (maybe-uninitialized) misfire on the instrumented code; the plain
# build keeps every warning an error.
asan:
	cmake -S . -B $(BUILD)/asan -G Ninja -DKX_SANITIZE=address,undefined
	cmake --build $(BUILD)/asan -j $(JOBS)

# Any sanitizer report fails its test: UBSan stops at the first, LeakSanitizer fails the exit
# status. Only the database engine's and ICU's own caches are suppressed (tests/sanitizers).
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
  LSAN_OPTIONS=suppressions=$(abspath tests/sanitizers/lsan.supp) \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
test-asan: asan
	$(SANITIZER_ENV) ctest --test-dir $(BUILD)/asan --output-on-failure -j $(JOBS) --timeout 600

# ThreadSanitizer over the code that starts threads: the worker queue, the importer's worker, the
# document's read-ahead and kximport's Ctrl+C watcher. Only their tests and what they run are
# built; a report fails its test (halt_on_error).
TSAN_TARGETS = kx_util_tests kx_staging_unit_tests kx_staging_tests kx_db_tests kximport kxprovider kxgen kxdb \
  ImpApiKorvalix
TSAN_TESTS = 'WorkerQueue|CsvImport|BatchInsert|ReadAhead|Kximport.RunInterrupts'
tsan:
	cmake -S . -B $(BUILD)/tsan -G Ninja -DKX_SANITIZE=thread
	cmake --build $(BUILD)/tsan -j $(JOBS) --target $(TSAN_TARGETS)
test-tsan: tsan
	TSAN_OPTIONS=halt_on_error=1:detect_deadlocks=0:suppressions=$(abspath tests/sanitizers/tsan.supp) KX_INTERRUPT_LIMIT_MS=3000 \
	  ctest --test-dir $(BUILD)/tsan --output-on-failure -j $(JOBS) --timeout 600 -R $(TSAN_TESTS)

test-linux: linux
	ctest --test-dir $(BUILD)/linux --output-on-failure -j $(JOBS) --timeout 600

# The 32-bit set runs natively where the kernel starts 32-bit programs, else inside an emulated
# x86-64 guest (scripts/win32-guest.sh); scripts/guest/which-way.sh says which and why, and
# KX_WIN32_GUEST=1 or 0 chooses the guest or the native way whatever the kernel.
test-win32: win32
	@way=$$(bash scripts/guest/which-way.sh); echo "test-win32: the 32-bit Wine tests run $$way"; \
	if [ "$${way%% (*}" = "inside the emulated guest" ]; then bash scripts/win32-guest.sh $(BUILD); \
	else ctest --test-dir $(BUILD)/win32 --output-on-failure --timeout 600; fi

test-win64: win64
	ctest --test-dir $(BUILD)/win64 --output-on-failure --timeout 600

# The house style: formatting, layers and clang-tidy (scripts/lint.sh). The Windows sources need
# only the Windows build's compile database, so it is configured, not built; without the MinGW
# compiler (make deps-linux alone) lint.sh says it skips them.
lint: linux
	if command -v $(MINGW_CXX) >/dev/null; then $(WIN32_CONFIGURE); fi
	bash scripts/lint.sh $(BUILD)/linux $(BUILD)/win32

# The packages a real installation uses: the Debian package from the Linux build (CPack) and the
# Windows installers (NSIS; setup.exe for every Windows, setup-x64.exe), each with both DLLs.
VERSION := $(shell grep -m1 -o 'ImpApiKorvalix VERSION [0-9.]*' CMakeLists.txt | cut -d' ' -f3)
package: linux win32 win64
	cd $(BUILD)/linux && cpack -G DEB
	bash scripts/make-setup.sh $(BUILD) $(VERSION)

# Installs the package, runs its programs and removes it again (as root; skipped otherwise).
test-package: package
	bash tests/package/deb_test.sh $(BUILD)/linux/package/impapikorvalix_*_amd64.deb

test: deps
	$(MAKE) lint
	$(MAKE) test-linux
	$(MAKE) test-asan
	$(MAKE) test-tsan
	$(MAKE) fuzz-corpus
	$(MAKE) test-package
	$(MAKE) test-win32
	$(MAKE) test-win64

# A first and a follow-up import against the provider simulator, with a printed summary.
demo: deps-linux
	$(MAKE) linux
	bash scripts/demo.sh

# Benchmarks: each subject against its floor in the same run, with the ratios printed at the
# end; as root also through the Firebird server. The large data set takes about twenty minutes;
# bench-small (a tenth of it) about two.
BENCH_REPEAT ?= 2
bench: linux
	bash bench/run-all.sh $(BUILD)/linux --large --repeat $(BENCH_REPEAT)

bench-small: linux
	bash bench/run-all.sh $(BUILD)/linux --repeat $(BENCH_REPEAT)

# The libFuzzer targets (clang): fuzz runs each for FUZZ_SECONDS, fuzz-corpus once over its seeds.
FUZZ_SECONDS ?= 300
fuzz:
	bash scripts/fuzz.sh $(BUILD)/fuzz --seconds $(FUZZ_SECONDS)

fuzz-corpus:
	FUZZ_JOBS=$(JOBS) bash scripts/fuzz.sh $(BUILD)/fuzz --corpus-only

clean:
	rm -rf $(BUILD)
