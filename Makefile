# The two commands of the quick start: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=Release
PREFIX ?= /usr/local

.PHONY: setup build run test install package bench clean

setup:
	@bash scripts/setup

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/cavewing $(ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# DESTDIR, if set, is honoured as usual: make install DESTDIR=/tmp/stage PREFIX=/usr
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A .deb for Debian 12, in $(BUILD)/.
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
