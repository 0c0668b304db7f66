# Thin wrapper around CMake. `make demo` and `make check` install what they
# need (Debian packages), configure, build, and then run.
BUILD     ?= build
SAN_BUILD ?= build-san
JOBS      ?= $(shell nproc)

.PHONY: all deps build data demo check test sanitize coverage test-ratio clean

all: build

deps:
	sh scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(JOBS)

# Regenerates the generated run-time data in etc/: stroke fonts, colour
# table, map databases and the place file (see etc/README.md for their sources).
data: build
	sh scripts/make-fonts.sh $(BUILD)
	$(BUILD)/tools/rgb2clr /usr/share/X11/rgb.txt > etc/zem.clr
	/usr/bin/python3 tools/make_maps.py etc
	/usr/bin/python3 tools/make_sao_cty.py > etc/sao.cty
	cp /usr/share/doc/gmt-gshhg-low/copyright etc/gshhg.copyright
	cp /usr/share/doc/weather-util-data/copyright etc/weather-util.copyright

demo: build
	sh scripts/demo.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

sanitize: deps
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DORLO_SANITIZE=ON -DORLO_BENCH=OFF
	cmake --build $(SAN_BUILD) -j$(JOBS)
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest --output-on-failure -j$(JOBS)

# The tests may hold at most about a third of the lines of the code they test.
test-ratio:
	sh scripts/test-ratio

# Line and branch coverage of src/ (gcovr), built apart in build-cov.
coverage: deps
	sh scripts/coverage.sh build-cov

check: test sanitize test-ratio

clean:
	rm -rf $(BUILD) $(SAN_BUILD) build-cov
