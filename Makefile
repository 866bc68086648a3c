# Entry points. `make demo` runs a whole firmware update against the virtual camera;
# `make test` installs what is missing, builds and runs the whole test suite.
.PHONY: all deps build test asan release package demo bench fuzz soak windows windows-test \
	windows-update windows-desktop-update windows-setup format clean

all: build

deps:
	@bash tools/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default

test: build
	@ctest --preset default

asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ctest --preset asan

release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release

# The Debian packages, from the release build, in build/release/package:
# tk358fw_<version>_<arch>.deb and tk358fw-camsim_<version>_<arch>.deb. Reproducible: every time
# in them is SOURCE_DATE_EPOCH, by default the last commit's (outside a git checkout the
# changelog's date), so two builds of one commit give the same files.
SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null || \
	dpkg-parsechangelog -l packaging/changelog -S Timestamp)
package: release
	@SOURCE_DATE_EPOCH=$(SOURCE_DATE_EPOCH) cpack --preset release

demo: release
	@bash tools/demo.sh build/release

bench: release
	@build/release/bench/bench_transfer

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@bash tools/run-fuzzers.sh build/fuzz 60

# Seeded soak: whole updates in virtual time with drawn faults (release build, soak program only).
SOAK_RUNS ?= 5000
soak: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release --target soak
	@build/release/bench/soak --runs $(SOAK_RUNS)

# Windows: tk358fw.exe (the desktop application) and tk358fw-console.exe cross-built with
# MinGW-w64, packed with the README and the retry procedure into a zip and a setup program
# (build/windows); its tests run under Wine.
windows: deps
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows

windows-test: windows
	@ctest --preset windows

# One whole update by tk358fw-console.exe under Wine against tk358-camsim (from the default
# build) on a pseudo-terminal mapped to Wine's COM1; about 2.5 minutes in real time.
windows-update: windows build
	@bash tools/console-update.sh windows build/default build/windows

# One whole update by the Windows desktop application (tk358fw.exe) under Wine, driven with keys
# on a private X server with a window manager, against tk358-camsim on Wine's COM1; about 1.7
# minutes.
windows-desktop-update: windows build
	@bash tools/windows-desktop-update.sh build/default build/windows

# The setup program under Wine: silent install, the installed program's --version, an install
# over it, silent uninstall until nothing is left.
windows-setup: windows
	@bash tools/setup-round-trip.sh build/windows

format:
	@git ls-files '*.cpp' '*.hpp' | xargs clang-format -i

clean:
	@rm -rf build
