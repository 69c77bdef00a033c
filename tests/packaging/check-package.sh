#!/usr/bin/env bash
# The Debian package as a technician receives it: packed by scripts/package.sh
# from the build the suite ran (--built),
# its file list exactly as intended, clean for lintian (no error),
# desktop-file-validate and appstreamcli, and its programs running from the
# unpacked tree.
#
# Usage: check-package.sh SOURCE_DIR BUILD_DIR WORK_DIR VERSION
#
# A pipe into grep reads to the end (grep >/dev/null, never grep -q): under
# pipefail, grep -q leaving at the first match kills the writer with SIGPIPE,
# and the check then fails by how the pipe's writes fell.
set -euo pipefail
source_dir=$1
build=$2
work=$3
version=$4
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $* ($(date +%T))"; }

step "pack the package"
start=$SECONDS
bash "$source_dir/scripts/package.sh" --built "$build"
deb=$build/tellar_${version}_${arch}.deb
[ -f "$deb" ] || fail "no $deb"
echo "packed $deb in $((SECONDS - start)) s, $(stat -c %s "$deb") bytes"

rm -rf "$work"
mkdir -p "$work"

step "control fields"
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends | tee "$work/control"
[ "$(dpkg-deb -f "$deb" Package)" = tellar ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version"
depends=$(dpkg-deb -f "$deb" Depends)
# From dpkg-shlibdeps: the C++ runtime, Qt, libcups, zlib, X11; adduser for
# the postinst; Qt's own Russian for a Russian console.
for needed in libc6 libstdc++6 libqt6core6 libqt6widgets6 libcups2 zlib1g libx11-6 adduser qt6-translations-l10n; do
  [[ ", $depends," == *", $needed "* || ", $depends," == *", $needed,"* ]] || fail "Depends lacks $needed: $depends"
done

step "file list"
lib=usr/lib/$multiarch
{
  echo "usr/bin/Tellar"
  echo "usr/bin/varo-sim"
  echo "usr/bin/tellar-pay"
  for l in VaroMgr Papyr Stenik32; do
    echo "$lib/lib$l.so.0 -> lib$l.so.$version"
    echo "$lib/lib$l.so.$version"
  done
  for s in "$source_dir"/sim/scenarios/*.json; do
    echo "usr/share/tellar/scenarios/$(basename "$s")"
  done
  echo "usr/share/tellar/translations/qtbase_et.qm"
  echo "usr/share/tellar/translations/tellar_ru.qm"
  echo "usr/share/applications/ee.kerlan.tellar.desktop"
  echo "usr/share/icons/hicolor/scalable/apps/ee.kerlan.tellar.svg"
  echo "usr/share/metainfo/ee.kerlan.tellar.metainfo.xml"
  echo "usr/share/man/man1/Tellar.1.gz"
  echo "usr/share/man/man1/varo-sim.1.gz"
  echo "usr/share/man/man1/tellar-pay.1.gz"
  echo "usr/share/doc/tellar/copyright"
  echo "usr/share/doc/tellar/changelog.gz"
  echo "usr/share/lintian/overrides/tellar"
} | sort >"$work/expected-files"
# Regular files and links, without the leading "./"; folders aside.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); if ($7 == "->") print $6 " -> " $8; else print $6 }' \
  | sort >"$work/files"
if ! diff -u "$work/expected-files" "$work/files"; then
  fail "the package's files differ from the intended list (- intended, + packaged)"
fi
# Every entry root-owned; folders 0755, programs 0755, everything else 0644.
dpkg-deb -c "$deb" | awk '$2 != "root/root" { print "owner: " $0; bad = 1 }
  $1 ~ /^d/ && $1 != "drwxr-xr-x" { print "folder mode: " $0; bad = 1 }
  $1 ~ /^-/ && $6 ~ /usr\/bin\// && $1 != "-rwxr-xr-x" { print "program mode: " $0; bad = 1 }
  $1 ~ /^-/ && $6 !~ /usr\/bin\// && $1 != "-rw-r--r--" { print "file mode: " $0; bad = 1 }
  END { exit bad }' || fail "ownership or modes"

step "maintainer scripts"
dpkg-deb -e "$deb" "$work/DEBIAN"
ls "$work/DEBIAN"
for s in postinst postrm; do
  [ -x "$work/DEBIAN/$s" ] || fail "$s is not executable"
  sh -n "$work/DEBIAN/$s" || fail "$s is not valid sh"
done
grep -q 'addgroup --system tellar' "$work/DEBIAN/postinst" || fail "postinst makes no group"
grep -q 'chmod 2775 "$store"' "$work/DEBIAN/postinst" || fail "postinst sets no mode"
grep -q 'activate-noawait ldconfig' "$work/DEBIAN/triggers" || fail "no ldconfig trigger"
grep -q "^libVaroMgr 0 tellar" "$work/DEBIAN/shlibs" || fail "no shlibs entry for libVaroMgr"

step "lintian"
start=$SECONDS
lintian --fail-on error --tag-display-limit 0 "$deb" | tee "$work/lintian.txt" || fail "lintian found errors"
echo "lintian: $(grep -c '^E:' "$work/lintian.txt" || true) errors, $(grep -c '^W:' "$work/lintian.txt" || true) warnings in $((SECONDS - start)) s"

step "unpack"
root=$work/root
dpkg-deb -x "$deb" "$root"

step "desktop-file-validate, appstreamcli validate"
desktop-file-validate "$root/usr/share/applications/ee.kerlan.tellar.desktop" || fail "desktop entry"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/ee.kerlan.tellar.metainfo.xml" \
  || fail "AppStream metainfo"

step "no RPATH, SONAMEs"
for f in "$root/usr/bin/Tellar" "$root/usr/bin/varo-sim" "$root/usr/bin/tellar-pay" "$root/$lib"/lib*.so.*.*.*; do
  if readelf -d "$f" | grep -Eq '\((RPATH|RUNPATH)\)'; then fail "$f has an RPATH"; fi
done
for l in VaroMgr Papyr Stenik32; do
  readelf -d "$root/$lib/lib$l.so.$version" | grep "Library soname: \[lib$l.so.0\]" >/dev/null || fail "lib$l SONAME"
done
readelf -d "$root/usr/bin/Tellar" | grep 'Shared library: \[libVaroMgr.so.0\]' >/dev/null || fail "Tellar does not use libVaroMgr.so.0"

step "the unpacked programs"
export LD_LIBRARY_PATH=$root/$lib
"$root/usr/bin/Tellar" --version | tee "$work/version"
[ "$(head -n 1 "$work/version")" = "Tellar $version" ] || fail "Tellar --version"
grep -Eq '^Qt [0-9]+\.[0-9]+\.[0-9]+$' "$work/version" || fail "no Qt version"
grep -Eq '^libcups [0-9]+\.[0-9]+\.[0-9]+$' "$work/version" || fail "no libcups version"
mkdir -p "$work/home" "$work/registry"
# Settings through the unpacked program; the server port is one nobody serves.
"$root/usr/bin/Tellar" --registry "$work/registry" --config set KKPort 1
[ "$("$root/usr/bin/Tellar" --registry "$work/registry" --config get KKPort)" = 1 ] || fail "Tellar --config"
rc=0
env -u DISPLAY TELLAR_KEYBOARD_LAYOUT=ee "$root/usr/bin/Tellar" --home "$work/home" --registry "$work/registry" --check \
  | tee "$work/check" || rc=$?
[ "$rc" -le 1 ] || fail "Tellar --check exited $rc"
[ "$(wc -l <"$work/check")" -eq 9 ] || fail "Tellar --check gave not 9 lines"
grep -q "^VIGA	Makseserver	127.0.0.1:1: " "$work/check" || fail "Tellar --check did not name the server"
"$root/usr/bin/varo-sim" --check "$root/usr/share/tellar/scenarios/training.json" || fail "varo-sim --check"
# tellar-pay with no console to talk to: refused (4), one JSON object.
rc=0
"$root/usr/bin/tellar-pay" --port 1 last >"$work/pay" || rc=$?
[ "$rc" -eq 4 ] || fail "tellar-pay without a console exited $rc"
grep -q '"result":"NoConnection"' "$work/pay" || fail "tellar-pay did not say NoConnection"
zcat "$root/usr/share/man/man1/tellar-pay.1.gz" | grep '^.TH TELLAR-PAY' >/dev/null || fail "tellar-pay man page"
# The cashier's languages, where the installed program looks for them.
/usr/lib/qt6/bin/lconvert -i "$root/usr/share/tellar/translations/tellar_ru.qm" -of ts -o - \
  | grep '<translation>Оплата картой</translation>' >/dev/null || fail "tellar_ru.qm has no Russian tab caption"
/usr/lib/qt6/bin/lconvert -i "$root/usr/share/tellar/translations/qtbase_et.qm" -of ts -o - \
  | grep '<translation>&amp;Kopeeri</translation>' >/dev/null || fail "qtbase_et.qm has no Estonian Copy"

echo "package: all checks passed"
