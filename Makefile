# The two commands of the README. Each does its own set-up: missing system packages, configure,
# build, then the demo or the whole test suite.
PRESET ?= dev

.PHONY: demo test deps configure build bench fuzz clean

demo: build
	./scripts/demo.sh build/$(PRESET)

test: build
	./scripts/run-tests.sh build/$(PRESET)

deps:
	./scripts/install-deps.sh

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET)

bench: deps
	cmake --preset release
	cmake --build --preset release
	./scripts/run-bench.sh build/release

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	./scripts/run-fuzz.sh build/fuzz

clean:
	rm -rf build
