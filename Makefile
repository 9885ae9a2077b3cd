# One entry point for people and CI: `make run` opens the editor, `make test` runs every test.
BUILD   ?= build
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

# Debian 12 / Ubuntu packages the build, the tests and the running editor need (clang
# builds the tag readers' fuzzers; TagLib is the benchmarks' yardstick only; ca-certificates
# lets Qt Network check the online lyrics service's certificate).
PACKAGES := cmake g++ make pkg-config \
	qt6-base-dev qt6-translations-l10n libgl-dev \
	libavformat-dev libavcodec-dev libswresample-dev libavutil-dev \
	libopenmpt-dev portaudio19-dev librubberband-dev libicu-dev \
	libgtest-dev libgmock-dev libbenchmark-dev \
	ffmpeg sox lame opus-tools flac fonts-noto-cjk \
	desktop-file-utils appstream \
	clang libtag1-dev python3-mutagen \
	ca-certificates

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: setup configure build run test bench install package fuzz format clean

setup:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing; \
	fi

configure:
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: setup configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/lirotag

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench_*; do [ -x "$$b" ] && "$$b"; done; true

# Installs under /usr/local (or PREFIX); DESTDIR is honoured.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package of the program (lirotag_VERSION_ARCH.deb in the build folder).
package: build
	cd $(BUILD) && cpack -G DEB

# Each tag reader's fuzzer for 8 seconds, seeded from the test fixtures.
fuzz: setup
	fuzz/run.sh $(BUILD)-fuzz 8

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
