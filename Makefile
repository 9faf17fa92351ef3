# The two commands of the README:
#   make run   installs what is missing, builds in build/ and starts velmora
#   make test  installs what is missing, builds and runs every test through CTest
BUILD_DIR ?= build
ASAN_DIR  ?= build-asan
JOBS      ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX    ?= /usr/local

PACKAGES := cmake g++ make pkg-config qt6-base-dev qt6-base-private-dev libgl-dev libgtest-dev libgmock-dev \
            libbenchmark-dev libre2-dev xvfb xauth xdotool fonts-noto-cjk qt6-translations-l10n \
            desktop-file-utils appstream shared-mime-info xdg-utils libfile-mimeinfo-perl
# What make test adds: a real input method for the end-to-end run of Japanese typing (a
# session bus, ibus with mozc; setpriv and unshare to run it as a user other than root).
TEST_PACKAGES := dbus-daemon ibus ibus-mozc util-linux
# What make run adds: fcitx5's plugin for Qt 6 programs (ibus's is part of Qt), so that
# Japanese can be typed with either input method framework.
RUN_PACKAGES := fcitx5-frontend-qt6
# What make bench adds: pugixml, the reference that trmtool convert is timed against
# (bench_reader); a reference for timing only, never linked into the program.
BENCH_PACKAGES := libpugixml-dev

.PHONY: run test test-asan deps build build-asan bench fuzz clean install

deps:
	@missing=$$(for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  sudo=; [ "$$(id -u)" -eq 0 ] || sudo=sudo; \
	  $$sudo apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_DIR) -j $(JOBS)

run: build
	$(MAKE) deps PACKAGES="$(RUN_PACKAGES)"
	$(BUILD_DIR)/app/velmora

test: build
	$(MAKE) deps PACKAGES="$(TEST_PACKAGES)"
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

test-asan: build-asan
	$(MAKE) deps PACKAGES="$(TEST_PACKAGES)"
	ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

# make install [PREFIX=/usr/local] [DESTDIR=staging folder]
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# make bench: a Release build of the benchmark programs in build-bench/, then one table.
BENCH_DIR ?= build-bench
bench: deps
	$(MAKE) deps PACKAGES="$(BENCH_PACKAGES)"
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BENCH_DIR) -j $(JOBS) --target bench_document bench_reader bench_find bench_nanxml bench_codepage bench_utf8 bench_typing bench_window bench_undo
	bench/run_benchmarks.sh $(BENCH_DIR)

# make fuzz [FUZZ_SECONDS=300]: every harness in turn, built with clang in build-fuzz/.
FUZZ_SECONDS ?= 300
fuzz: deps
	$(MAKE) deps PACKAGES="clang libclang-rt-14-dev npm"
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run_fuzzers.sh

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(BENCH_DIR)
