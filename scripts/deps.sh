#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tellar need.
# Only missing packages are installed; nothing happens when all are present.
# Needs root (or sudo) on a machine where something is missing.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build pkg-config
  # console: Qt 6 widgets, network and printing
  qt6-base-dev libgl-dev
  # the cashier's languages: qt_add_translations (qt6-tools-dev), lupdate and
  # lrelease (qt6-l10n-tools), Qt's own Russian (qt6-translations-l10n)
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  # the till's transaction journal; sqlite3 is the technician's reader
  libsqlite3-dev sqlite3
  # receipt printing through the spooler, and a private spooler for the tests
  libcups2-dev cups cups-client cups-bsd
  # "Courier New" stand-in for receipts printed through the platform printer
  fonts-liberation2
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # PDF checks (qpdf --check, pdftotext, pdftoppm) and the reference PDF writer
  qpdf poppler-utils libhpdf-dev
  # localedef, for the tests that run under a comma-decimal locale
  locales
  # fuzzing and sanitizers with clang
  clang libclang-rt-14-dev
  # X11 keyboard layout query; headless display for screenshots; XTEST key
  # events that play a card reader on the real keyboard path
  libx11-dev libxtst-dev xvfb xauth x11-xkb-utils
  # the accessibility bus and its Python client, for the screen-reader test
  at-spi2-core dbus-x11 python3-pyatspi xdotool
  # the support bundle's gzip stream
  zlib1g-dev
  # the Debian package: CPack's helpers (dpkg-shlibdeps, file, readelf) and
  # the validators its test runs
  dpkg-dev file binutils lintian desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep "install ok installed" >/dev/null || missing+=("$p")
done
# The locale tests compare output under a comma-decimal locale; the
# language test runs the console under a Russian one.
need_locale=0
locale -a 2>/dev/null | grep -ix 'de_DE.utf8' >/dev/null || need_locale=1
locale -a 2>/dev/null | grep -ix 'ru_RU.utf8' >/dev/null || need_locale=1
[ ${#missing[@]} -eq 0 ] && [ $need_locale -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "deps.sh: missing packages (${missing[*]}) and not root" >&2; exit 1; }
  sudo=(sudo)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
if [ $need_locale -eq 1 ]; then
  "${sudo[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "deps.sh: could not generate de_DE.UTF-8; the locale tests build their own"
  "${sudo[@]}" localedef -i ru_RU -f UTF-8 ru_RU.UTF-8 || echo "deps.sh: could not generate ru_RU.UTF-8"
fi
