#!/usr/bin/env bash
# Builds the Debian package of Tellar: a Release build with /usr as prefix and
# Debian's compiler and linker hardening flags (dpkg-buildflags), then CPack's
# DEB generator. Writes tellar_<version>_amd64.deb into the build folder.
#
# Usage: bash scripts/package.sh [build-dir]   (default: build-package)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}

bash scripts/deps.sh

# CMake reads these once, when the folder is first configured. All of
# Debian's hardening, immediate binding included.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CFLAGS CXXFLAGS LDFLAGS

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
