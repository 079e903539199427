# Entry points. Each one first installs whatever this machine lacks (scripts/bootstrap.sh).
#   make demo    the add-on at work, as a new user meets it: screenshots and a transcript in out/demo/
#   make dll     build both DLLs: build/win/Quillbury.dll (64-bit) and build/win32/Quillbury.dll (32-bit)
#   make msi     build the installer package build/win/Quillbury-<version>.msi (both DLLs)
#   make test    build everything and run every test (native, then under Wine: the 64-bit build, the 32-bit one)
# Subsets: make test LABELS=unit   (a CTest label regex: unit, win, e2e)
#          make test TESTS=core    (a CTest name regex)

JOBS ?= $(shell nproc)
LABELS ?=
TESTS ?=
CTEST_FILTER = $(if $(LABELS),-L '$(LABELS)') $(if $(TESTS),-R '$(TESTS)')
CTEST = ctest --output-on-failure --timeout 900 -j $(JOBS) $(CTEST_FILTER)

WIN_BUILD = build/win
WIN32_BUILD = build/win32
HOST_BUILD = build/host

.PHONY: all bootstrap demo dll dll32 msi configure-win configure-win32 configure-host configure-bench build-win \
	build-win32 build-host build-bench bench test test-host test-win test-win32 clean

all: dll

bootstrap:
	@scripts/bootstrap.sh

configure-win: bootstrap
	@cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake >/dev/null

configure-win32: bootstrap
	@cmake -S . -B $(WIN32_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-i686.cmake >/dev/null

configure-host: bootstrap
	@CC=clang CXX=clang++ cmake -S . -B $(HOST_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null

configure-bench: bootstrap
	@CC=clang CXX=clang++ cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQB_SANITIZE=OFF >/dev/null

build-bench: configure-bench
	cmake --build build/bench -j $(JOBS)

# Every benchmark: figures printed with their baselines, collected in build/bench/results.json, and the
# table in README.md refreshed.
bench: build-bench build-win build-win32
	scripts/bench.sh

# The 32-bit DLL goes into the package built by the 64-bit tree, so that tree is built after it.
dll32: configure-win32
	cmake --build $(WIN32_BUILD) --target Quillbury -j $(JOBS)

dll: dll32 configure-win
	cmake --build $(WIN_BUILD) --target Quillbury -j $(JOBS)
	@echo "built $(WIN_BUILD)/Quillbury.dll (64-bit) and $(WIN32_BUILD)/Quillbury.dll (32-bit)"

build-win: dll32 configure-win
	cmake --build $(WIN_BUILD) -j $(JOBS)

build-win32: configure-win32
	cmake --build $(WIN32_BUILD) -j $(JOBS)

build-host: configure-host
	cmake --build $(HOST_BUILD) -j $(JOBS)

test-host: build-host
	cd $(HOST_BUILD) && $(CTEST)

test-win: build-win
	cd $(WIN_BUILD) && $(CTEST)

test-win32: build-win32
	cd $(WIN32_BUILD) && $(CTEST)

test: build-host build-win build-win32
	cd $(HOST_BUILD) && $(CTEST)
	cd $(WIN_BUILD) && $(CTEST)
	cd $(WIN32_BUILD) && $(CTEST)

clean:
	rm -rf build out

msi: dll32 configure-win
	cmake --build $(WIN_BUILD) --target msi -j $(JOBS)
	@echo "built $$(ls $(WIN_BUILD)/Quillbury-*.msi)"

# Installs the add-on into a private Wine prefix and drives the toolbar, the login dialog, the Offers menu
# and the shop popup against the stand-in service, in a few minutes (tools/demo/run_demo.sh).
demo: dll32 configure-win
	cmake --build $(WIN32_BUILD) --target qb_testhost_tool -j $(JOBS)
	cmake --build $(WIN_BUILD) --target Quillbury msi qb_testhost_tool -j $(JOBS)
	tools/demo/run_demo.sh
