# The two commands of the README, plus a few conveniences.
BUILD ?= build
CMAKE_FLAGS ?=
# On CI (CI=true) warnings in Quillon's own code fail the build; Qt and other
# imported libraries come in as system headers and cannot trip it. The setting
# is passed both ways, so that an existing build folder follows it.
ifeq ($(CI),true)
CMAKE_FLAGS := -DQUILLON_WERROR=ON $(CMAKE_FLAGS)
else
CMAKE_FLAGS := -DQUILLON_WERROR=OFF $(CMAKE_FLAGS)
endif
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test bench clean test-asan test-tsan fuzz lint package install test-debian13 FORCE

all: build

deps:
	@scripts/install-deps.sh

# The flags of the last configure; rewritten only when they change, which
# configures the build folder again.
$(BUILD)/cmake-flags: FORCE
	@mkdir -p $(BUILD) && echo '$(CMAKE_FLAGS)' | cmp -s - $@ || echo '$(CMAKE_FLAGS)' >$@

$(BUILD)/build.ninja: $(BUILD)/cmake-flags
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	@touch $@

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD)

# The program finds its data folder ("Quillon/") relative to the working directory.
run: build
	$(BUILD)/src/app/quillon

# The Debian package: $(BUILD)/quillon_<version>_<arch>.deb.
package: build
	cmake --build $(BUILD) --target package

# Into PREFIX (default /usr/local); DESTDIR=... stages it elsewhere.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

test: build
	scripts/run-tests.sh $(BUILD)
	@if [ "$(CI)" = true ]; then $(MAKE) --no-print-directory test-asan; fi

# Every test program but those across JACK again under AddressSanitizer + UndefinedBehaviorSanitizer.
test-asan: deps
	CMAKE_FLAGS="$(CMAKE_FLAGS)" scripts/run-sanitized-tests.sh asan build-asan

# The thread hand-over tests under ThreadSanitizer.
test-tsan: deps
	CMAKE_FLAGS="$(CMAKE_FLAGS)" scripts/run-sanitized-tests.sh tsan build-tsan

# Every fuzz target for FUZZ_SECONDS each, built with clang in build-fuzz.
fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/run-fuzz.sh build-fuzz

# Formatting (checked, never rewritten) and clang-tidy on the core.
lint: configure
	scripts/lint.sh $(BUILD)

# `make test` on a fresh Debian 13 in a debootstrap chroot kept in
# /var/cache/quillon-debian13 (needs root; the first run downloads ~1 GB).
test-debian13:
	scripts/test-debian13.sh

bench: build
	scripts/run-bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
