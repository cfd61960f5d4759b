# The two commands of the README, plus a few conveniences.
BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD)

# The program finds its data folder ("Quillon/") relative to the working directory.
run: build
	$(BUILD)/src/app/quillon

test: build
	scripts/run-tests.sh $(BUILD)

bench: build
	scripts/run-bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
