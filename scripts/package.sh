#!/usr/bin/env bash
# Builds the Debian package of Tellar: a Release build with /usr as prefix and
# Debian's compiler and linker hardening flags (dpkg-buildflags), then CPack's
# DEB generator. Writes tellar_<version>_amd64.deb into the build folder.
#
# Usage: bash scripts/package.sh [build-dir]   (default: build-package)
#        bash scripts/package.sh --built DIR   package a build that exists
#                                              (the suite's: the package test)
#
# CPack strips the programs and libraries it packs, so a build with debug
# information packs the same files as a Release one would, at -O2 as Debian
# builds its own packages.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --built ]; then
  build=${2:?usage: package.sh --built DIR}
  prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
  if [ "$prefix" != /usr ]; then
    echo "package.sh: $build installs into '$prefix'; the package needs /usr (configure it with -DCMAKE_INSTALL_PREFIX=/usr)" >&2
    exit 1
  fi
  rm -f "$build"/tellar_*.deb
  # The install step of CPack builds nothing that is up to date.
  (cd "$build" && cpack -G DEB >/dev/null)
  ls "$build"/tellar_*_amd64.deb
  exit 0
fi
build=${1:-build-package}

bash scripts/deps.sh
# shellcheck source=scripts/debian-build-flags.sh
source scripts/debian-build-flags.sh

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DTELLAR_BUILD_TESTS=OFF -DTELLAR_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/tellar_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/tellar_*_amd64.deb
