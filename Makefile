# Lumora: two commands for a fresh Debian 12 machine.
#   make run    install what is missing, build, start the program
#   make test   install what is missing, build, run every test
#   make install [PREFIX=/usr/local] [DESTDIR=...]   install the programs, help, desktop entry
#   make deb     the Debian package (checked with lintian when it is there)
PRESET   ?= default
BUILDDIR := $(if $(filter ci,$(PRESET)),build-ci,$(if $(filter core-only,$(PRESET)),build-core,$(if $(filter asan,$(PRESET)),build-asan,build)))

PACKAGES := cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
            qt6-base-dev qt6-svg-dev libgl-dev fonts-liberation fonts-dejavu-core \
            libwmf-bin fonts-urw-base35 xdg-utils libxrl-dev help2man dpkg-dev file \
            python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pytest python3-setuptools \
            python3-venv python3-pip python3-wheel \
            ccache gemmi-dev tao-pegtl-dev libxy-dev libeigen3-dev libpng-dev libtiff-dev

.PHONY: all deps build test run bench mutate clean install deb
PREFIX ?= /usr/local

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing Debian packages:$$missing"; \
	  if [ "$$(id -u)" -eq 0 ]; then SUDO=""; elif command -v sudo >/dev/null; then SUDO=sudo; \
	  else echo "Please install as root: apt-get install$$missing" >&2; exit 1; fi; \
	  export DEBIAN_FRONTEND=noninteractive; \
	  $$SUDO apt-get install -y --no-install-recommends $$missing || \
	  { $$SUDO apt-get update && $$SUDO apt-get install -y --no-install-recommends $$missing; }; \
	fi

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)

test: build
	ctest --preset $(PRESET)

install: build
	cmake --install $(BUILDDIR) --prefix $(PREFIX)

deb: build
	cd $(BUILDDIR) && cpack -G DEB
	@if command -v lintian >/dev/null; then lintian --fail-on error $(BUILDDIR)/lumora_*.deb; \
	else echo "lintian not installed: the package was not checked"; fi

# Mutation check of the core (slow; not part of make test; the last figures are
# in docs/testing.md). MUTATE_ARGS, e.g.
# "--sample 60 --seed 7" or "--list", go to the tool.
mutate: deps
	/usr/bin/python3 tools/mutate.py $(MUTATE_ARGS)

bench: build
	@for b in $(BUILDDIR)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
	  if [ -x $(BUILDDIR)/lumora ]; then exec $(BUILDDIR)/lumora; fi; \
	else \
	  echo "No display found (DISPLAY and WAYLAND_DISPLAY are empty): printing the default report with lumora-cli instead."; \
	fi; \
	$(BUILDDIR)/lumora-cli reflections

clean:
	rm -rf build build-ci build-core build-asan build-python lumora.egg-info
