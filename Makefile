# The front door. `make test` and `make demo` work on a fresh Debian 12 machine: each
# installs what is missing (scripts/install-deps) before it builds.
#
#   make demo    the tuner in its window playing the built-in demo performance; without a
#                display, veldra-file's table of it and its window 9.5 s in (demo.png)
#   make test    the layer and format checks, then build and run every test: optimised,
#                then the package's checks (tests/package_test.sh), then the browser
#                build's (node; Chromium, Firefox and WebKit), then AddressSanitizer +
#                UBSan, then the capture tests under ThreadSanitizer, then each fuzz
#                target for FUZZ_SECONDS (60 s; the two side by side)
#   make package the Debian package of the optimised build: build/veldra_VERSION_ARCH.deb
#   make check   the layer check (scripts/check-layers) and the format check (clang-format)
#   make format  clang-format every source file in place
#   make fuzz    the fuzz targets (clang, libFuzzer, ASan + UBSan) for FUZZ_SECONDS each
#                (300 s here)
#   make soak    an hour of the demo through the whole capture road (optimised build)
#   make bench   build and run the benchmarks (optimised build), and the accuracy benchmark
#                (scripts/accuracy-bench: conditioned, --raw and aubio's yin side by side)
#   make web     the browser build: the site in build/web (em++ with the native tree's
#                glyph tables; the tuner for node beside it in build/wasm)
#   make serve-web  the browser build over HTTPS to phones on the local network
#                (scripts/serve-web; SERVE_PORT, 8443)
#   make run     build and start veldra on the microphone
#   make clean   remove the build trees

JOBS ?= $(shell nproc)
BUILD := build
CMAKE_FLAGS ?=

# Sanitizers stop at the first report so that a finding fails the run.
export ASAN_OPTIONS := halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS := halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS := halt_on_error=1:second_deadlock_stack=1

.PHONY: all deps demo check format test test-release test-package test-web test-asan \
	test-tsan test-fuzz fuzz fuzz-build package soak bench run web serve-web clean

all: deps
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD)/release -j $(JOBS)

deps:
	@scripts/install-deps

# The picture is the window 9.5 s into the performance, while the G string rings 10 cents
# sharp: the needle just past its ring.
DEMO_PNG := demo.png
# With a display the tuner plays the demo in its window; without one, veldra-file tells
# what the dial shows and draws the window 9.5 s in.
demo: deps
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD)/release -j $(JOBS) --target veldra veldra-file
	@if [ -n "$${DISPLAY}$${WAYLAND_DISPLAY}" ]; then \
	  $(BUILD)/release/app/veldra --input demo; \
	else \
	  $(BUILD)/release/tools/veldra-file/veldra-file --demo --png $(DEMO_PNG) --at 9.5 && \
	  echo && echo "No display here: the window 9.5 s into the demo (the G string, 10 cents" \
	    "sharp) is in $(abspath $(DEMO_PNG))"; \
	fi

# Every include between folders runs the way layers.txt allows, and every source file is
# as clang-format (.clang-format) lays it out.
SOURCES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)
check: deps
	scripts/check-layers > /dev/null
	@clang-format --dry-run -Werror $(SOURCES)
	@echo "check: layers and format are as they should be"

format: deps
	clang-format -i $(SOURCES)

test: deps check test-release test-package test-web test-asan test-tsan test-fuzz

test-release:
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD)/release -j $(JOBS)
	ctest --test-dir $(BUILD)/release --output-on-failure -j $(JOBS)

# The package of the optimised tree (CPack; its Depends from dpkg-shlibdeps), named as
# Debian names packages; its checks start an X server, so they run once, here.
VERSION = $(shell sed -n 's/^project.veldra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
DEB = $(BUILD)/veldra_$(VERSION)_$(shell dpkg --print-architecture).deb

package: deps
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD)/release -j $(JOBS)
	cpack --config $(BUILD)/release/CPackConfig.cmake -B $(BUILD)
	@echo "The package is $(abspath $(DEB))"

test-package: package
	tests/package_test.sh $(DEB) $(BUILD)/release

# The browser build: a cross build with em++ (Debian's emscripten finds its JavaScript
# modules only through NODE_PATH when the node on PATH is not Debian's), which takes its
# glyph tables from the native tree, as it cannot run the native program that makes them.
WEB_SITE := $(BUILD)/web
WASM_BUILD := $(BUILD)/wasm
EMSCRIPTEN_ENV := NODE_PATH=/usr/share/nodejs
web: deps
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD)/release -j $(JOBS) --target veldra_fonts
	$(EMSCRIPTEN_ENV) emcmake cmake -S . -B $(WASM_BUILD) -DCMAKE_BUILD_TYPE=Release \
	  -DVELDRA_GLYPH_TABLES=$(abspath $(BUILD)/release/platform/fonts/glyph_tables.cpp) \
	  -DVELDRA_SITE=$(abspath $(WEB_SITE)) $(CMAKE_FLAGS)
	$(EMSCRIPTEN_ENV) cmake --build $(WASM_BUILD) -j $(JOBS)
	@echo "The site is in $(abspath $(WEB_SITE))"

# The site over HTTPS on this machine's network address, with a self-signed certificate
# made once in build/serve-web: a phone's browser gives the microphone only to a secure page.
SERVE_PORT ?= 8443
serve-web: web
	scripts/serve-web --port $(SERVE_PORT) --site $(abspath $(WEB_SITE)) \
	  --certs $(abspath $(BUILD))/serve-web

# The pinned puppeteer-core (web/package-lock.json), for the browser tests and the web
# scripts; it downloads no browser: they drive Debian's Chromium.
WEB_MODULES := web/node_modules/.package-lock.json
$(WEB_MODULES): web/package-lock.json
	cd web && npm ci --no-audit --no-fund

# The browser tests (web/tests) start a server and a browser (Chromium, Firefox, WebKit;
# the last two with a PulseAudio server of their own, WebKit under Xvfb): once, against the
# optimised native build's pictures, never under the sanitizers.
test-web: web $(WEB_MODULES)
	cmake --build $(BUILD)/release -j $(JOBS) --target veldra-file veldra-screens
	cd web && node --test tests/*.test.mjs

test-asan:
	cmake -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DVELDRA_SANITIZE=address $(CMAKE_FLAGS)
	cmake --build $(BUILD)/asan -j $(JOBS)
	ctest --test-dir $(BUILD)/asan --output-on-failure -j $(JOBS)

test-tsan:
	cmake -S . -B $(BUILD)/tsan -DCMAKE_BUILD_TYPE=Debug -DVELDRA_SANITIZE=thread $(CMAKE_FLAGS)
	cmake --build $(BUILD)/tsan -j $(JOBS) --target capture_tests
	ctest --test-dir $(BUILD)/tsan --output-on-failure -j $(JOBS) -L capture --no-tests=ignore

# The fuzz targets build in a tree of their own with clang (fuzz/); fuzz/run runs them and
# fails on any finding. FUZZ_SECONDS=N sets the seconds per target for either target.
FUZZ_BUILD := $(BUILD)/fuzz
TEST_FUZZ_SECONDS := $(or $(FUZZ_SECONDS),60)
LONG_FUZZ_SECONDS := $(or $(FUZZ_SECONDS),300)

fuzz-build:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELDRA_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets

test-fuzz: fuzz-build
	fuzz/run $(FUZZ_BUILD) $(TEST_FUZZ_SECONDS)

fuzz: deps fuzz-build
	fuzz/run $(FUZZ_BUILD) $(LONG_FUZZ_SECONDS)

# The soak test with an hour of sound; make test runs it with three minutes.
SOAK_SECONDS ?= 3600
soak: deps
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD)/release -j $(JOBS) --target stream_soak_test
	VELDRA_SOAK_SECONDS=$(SOAK_SECONDS) $(BUILD)/release/tests/stream_soak_test

bench: deps
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD)/release -j $(JOBS) --target benchmarks veldra-file
	@for b in $(BUILD)/release/bench/*_bench; do echo "== $$b"; $$b || exit 1; done
	@echo "== scripts/accuracy-bench (the set made once in $(BUILD)/accuracy)"
	scripts/accuracy-bench $(BUILD)/release/tools/veldra-file/veldra-file --work $(BUILD)/accuracy
	@echo "== the soundfont notes again from two other soundfonts (the stage was tuned on none of MuseScore's)"
	scripts/accuracy-bench $(BUILD)/release/tools/veldra-file/veldra-file --work $(BUILD)/accuracy \
	  --soundfont /usr/share/sounds/sf2/FluidR3_GM.sf2 --only soundfont
	scripts/accuracy-bench $(BUILD)/release/tools/veldra-file/veldra-file --work $(BUILD)/accuracy \
	  --soundfont /usr/share/sounds/sf3/MuseScore_General_Lite.sf3 --only soundfont

run: deps
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD)/release -j $(JOBS) --target veldra
	$(BUILD)/release/app/veldra

clean:
	rm -rf $(BUILD)
