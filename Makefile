# Thin wrapper over CMake; see README.md.
#   make            build (preset "default", into build/)
#   make check      build and run every test (under fakeroot when not root)
#   make check-asan the same with AddressSanitizer and UBSan (build-asan/)
#   make demo       build, create the demo cluster and run qv_cspec on it
#   make bench      build and run the benchmarks
#   make install    install into $(DESTDIR)$(PREFIX)
#   make install-sadm  also link the object-tool commands into
#                   $(DESTDIR)/usr/sadm/sysadm/bin (a real host) and
#                   install sbin/ls-host-setup
#   make deps       install what building and testing need (.ci/deps)

PREFIX ?= /usr/local
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CTEST_ARGS ?=
# Creating character special files needs CAP_MKNOD; fakeroot fakes it.
# fakeroot's daemon can answer stat() with another node's record when two
# processes make and remove nodes at once, so under it tests run one by one.
AS_ROOT := $(if $(filter 0,$(shell id -u)),,fakeroot --)
TEST_JOBS := $(if $(AS_ROOT),1,$(JOBS))

.PHONY: all deps build check check-asan demo bench fuzz install install-sadm clean

all: build

# The packages that building and testing need, from the one list of them
# (debian/control): installed with apt-get when run as root, otherwise the
# line to install them and a stop.  DEPS_CHECK=no skips this.
DEPS_CHECK ?= yes
deps:
ifneq ($(DEPS_CHECK),no)
	@sh .ci/deps ensure
endif

build/build.ninja: | deps
	cmake --preset default

build: build/build.ninja
	cmake --build build -j $(JOBS)

check: build
	cd build && $(AS_ROOT) ctest --output-on-failure -j $(TEST_JOBS) $(CTEST_ARGS)

build-asan/build.ninja: | deps
	cmake --preset asan

# Under fakeroot its preloaded library comes before the ASan runtime, which
# ASan refuses by default; the order does no harm here.  Tests labelled
# "heavy" (a second whole build, a guest machine) ran in make check already.
check-asan: build-asan/build.ninja
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=$${ASAN_OPTIONS:+$$ASAN_OPTIONS:}verify_asan_link_order=0 $(AS_ROOT) ctest --output-on-failure -j $(TEST_JOBS) -LE heavy $(CTEST_ARGS)

demo: build
	$(AS_ROOT) sh examples/demo.sh build

bench: build/build.ninja
	cmake --build build -j $(JOBS) --target benchmarks
	$(AS_ROOT) sh bench/run.sh build

fuzz: deps
	sh fuzz/run.sh $(or $(FUZZ_SECONDS),30)

install: build
	DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)"

install-sadm: install
	DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)" --component sadm

clean:
	rm -rf build build-asan build-debug build-release build-fuzz
