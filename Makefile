# Quirla: the two commands are `make run` and `make test`; both install what they need first.
JOBS ?= 2
MAKEFLAGS += --no-print-directory
CMAKE_BUILD = cmake --build
.PHONY: all deps host asan win32 fuzz-build dist installer test run run-linux install editor fuzz bench mutants clean

all: host win32

deps:
	@tools/install-deps

# Configure once per build folder, then build incrementally.
build/%/CMakeCache.txt:
	@cmake --preset $* >/dev/null

host: deps build/host/CMakeCache.txt
	@$(CMAKE_BUILD) --preset host -j$(JOBS)
	@mkdir -p build/bin && for t in voxim mkdata; do \
	  [ -x build/host/bin/$$t ] && ln -sf ../host/bin/$$t build/bin/$$t; done; true

asan: deps build/asan/CMakeCache.txt
	@$(CMAKE_BUILD) --preset asan -j$(JOBS)

win32: deps build/win32/CMakeCache.txt
	@$(CMAKE_BUILD) --preset win32 -j$(JOBS)

fuzz-build: deps build/fuzz/CMakeCache.txt
	@$(CMAKE_BUILD) --preset fuzz -j$(JOBS)

# The installation folder as setup lays it out: build/dist/Quirla/.
# With it the setup program build/dist/Quirla-<version>-setup.exe (NSIS), which takes a second.
dist: host win32
	@tools/make-dist
	@tools/make-installer

installer: dist

test: deps host asan win32 fuzz-build dist
	@tools/run-tests

run: deps dist
	@tools/run-saver

# The native X11 saver (quirla-saver) in a window of its own; under Xvfb when there is no display.
run-linux: host
	@tools/run-saver-linux

# quirla-saver for XScreenSaver: PREFIX/libexec/xscreensaver/quirla-saver, the data folder
# PREFIX/share/quirla, its settings description and manual page. DESTDIR is honoured.
PREFIX ?= /usr/local
install: host
	@DESTDIR="$(DESTDIR)" cmake --install build/host --prefix "$(PREFIX)"

# The model editor on the bundled can model.
editor: deps dist
	@tools/run-editor

# Longer fuzzing: FUZZ_SECONDS per target (default 600).
fuzz: fuzz-build
	@tools/run-fuzz $${FUZZ_SECONDS:-600}

bench: host
	@tools/run-bench

# Plants single faults in a scratch copy (build/mutants) and tells which tests catch each.
mutants: deps
	@tools/mutants

clean:
	rm -rf build
