# Top-level entry points. Every target installs what is missing first.
GENERATOR := -G Ninja
JOBS ?= $(shell nproc)
TEST_DIR := build/test
RELEASE_DIR := build/release
TSAN_DIR := build/tsan
STRESS_DIR := build/stress
PACKAGE_DIR := build/package
FUZZ_DIR := build/fuzz
FUZZ_SECONDS ?= 60

export ASAN_OPTIONS ?= detect_leaks=1:abort_on_error=0:strict_string_checks=1
export LSAN_OPTIONS ?= suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS ?= print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM ?= offscreen

.PHONY: all deps build test bench tsan stress fuzz release demo compare package package-build attack clean

all: build

deps:
	bash scripts/install-deps.sh

# Debug-friendly build with AddressSanitizer + UndefinedBehaviorSanitizer; runs every test.
# Then the installable build: staged install, outside consumers and the
# Debian packages checked (nothing is installed into the system).
test: deps
	cmake -S . -B $(TEST_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOQ_SANITIZE=ON -DZOQ_BUILD_TESTS=ON -DZOQ_WERROR=ON
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory package-build
	bash tests/install/check_install.sh $(PACKAGE_DIR)

# Optimised build without sanitizers (benchmarks, demo).
release: deps
	cmake -S . -B $(RELEASE_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DZOQ_BUILD_TESTS=OFF -DZOQ_BUILD_BENCH=ON
	cmake --build $(RELEASE_DIR) -j $(JOBS)

build: release

bench: release
	bash bench/run.sh $(RELEASE_DIR)

# ThreadSanitizer build of the library and the test programs whose tests are
# labelled "concurrency" (only those are built: the rest of the suite runs
# under ASan in `make test`).
TSAN_TARGETS := concurrency_test package_concurrency_test stream_concurrency_test sxc_concurrency_test
tsan: deps
	cmake -S . -B $(TSAN_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOQ_TSAN=ON -DZOQ_BUILD_APP=OFF
	cmake --build $(TSAN_DIR) -j $(JOBS) --target $(TSAN_TARGETS)
	cd $(TSAN_DIR) && ctest --output-on-failure -j $(JOBS) -L concurrency

# Two zoq processes writing one package at once, 1,000 rounds on a package of
# 100,000 revisions, in an optimised build (`make test` runs a short version,
# label "race").
STRESS_ROUNDS ?= 1000
stress: deps
	cmake -S . -B $(STRESS_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DZOQ_BUILD_TESTS=ON -DZOQ_BUILD_APP=OFF
	cmake --build $(STRESS_DIR) -j $(JOBS) --target zoq writer_race_test
	ZOQ_RACE_ROUNDS=$(STRESS_ROUNDS) ZOQ_RACE_REVISIONS=100000 $(STRESS_DIR)/tests/hardening/writer_race_test

# libFuzzer targets (clang, ASan+UBSan), each run for FUZZ_SECONDS on a copy of
# its kept corpus (new inputs land in $(FUZZ_DIR)/corpus, crashes in
# $(FUZZ_DIR)/findings).
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DZOQ_SANITIZE=ON -DZOQ_BUILD_FUZZ=ON -DZOQ_BUILD_TESTS=OFF -DZOQ_BUILD_APP=OFF \
	  -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	bash fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# Debian packages zoq and zoq-dev (in build/package) from the installable
# build: Release, no sanitizers, no tests, the programs on the shared
# library, installing under /usr.
package: deps
	$(MAKE) --no-print-directory package-build
	@ls -1 $(PACKAGE_DIR)/*.deb

package-build:
	cmake -S . -B $(PACKAGE_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DZOQ_BUILD_TESTS=OFF \
	  -DZOQ_BUILD_BENCH=OFF -DZOQ_LINK_SHARED=ON -DZOQ_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	rm -f $(PACKAGE_DIR)/*.deb
	cd $(PACKAGE_DIR) && cpack -G DEB

# The hostile-file attack (tools/attack/attack.py) on a Release zoq: about
# 9,700 cases (hostile names, bombs, damaged copies of the corpus packages,
# kills, full disks, file-size limits, read-only targets, bad command lines),
# each in a sandbox of its own below ATTACK_WORK; prints the figures per class
# and writes them with every failure to ATTACK_WORK/report.json. The
# full-disk and read-only cases mount small tmpfs file systems (as root;
# otherwise they are skipped). Not part of `make test`.
ATTACK_WORK ?= build/attack
ATTACK_JOBS ?= 2
ATTACK_CORPUS ?= /work/shared/corpus
attack: deps
	cmake -S . -B $(RELEASE_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DZOQ_BUILD_TESTS=OFF -DZOQ_BUILD_BENCH=ON
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target zoq
	python3 tools/attack/attack.py --zoq $(RELEASE_DIR)/src/cli/zoq --corpus $(ATTACK_CORPUS) \
	  --work $(ATTACK_WORK)/work --jobs $(ATTACK_JOBS) --report $(ATTACK_WORK)/report.json

demo: release
	bash scripts/demo.sh $(RELEASE_DIR)

# The zoq tool side by side with unzip, zip, openssl, zlib-flate, xmllint and
# gzip on the same generated data (kept in build/compare-data), and the
# browser from its start to a painted 100,000-part tree; prints the
# table and writes it into docs/PERFORMANCE.md. COMPARE_SCALE=small for a
# quick run.
compare: deps
	cmake -S . -B $(RELEASE_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DZOQ_BUILD_TESTS=OFF -DZOQ_BUILD_BENCH=ON
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target zoq compare_data open_to_paint
	python3 bench/compare/compare.py $(RELEASE_DIR)

clean:
	rm -rf build
