#!/usr/bin/env bash
# Fails when a text the cashier reads has no Russian: lupdate runs over the
# console's sources into a copy of translations/tellar_ru.ts, and any
# message it leaves unfinished (a new or changed Estonian text) is listed.
# The committed file is not touched; `ninja update_translations` (or this
# script with --update) writes it, and a translator fills in the new texts.
#
#   bash scripts/check-translations.sh [--update]
set -euo pipefail
cd "$(dirname "$0")/.."

lupdate=${LUPDATE:-/usr/lib/qt6/bin/lupdate}
ts=translations/tellar_ru.ts
options=(-source-language et -target-language ru -locations none -no-obsolete -recursive console)

if [ "${1:-}" = --update ]; then
  "$lupdate" "${options[@]}" -ts "$ts"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/tellar_ru.ts"
"$lupdate" "${options[@]}" -ts "$work/tellar_ru.ts" >"$work/lupdate.out" 2>&1 || {
  cat "$work/lupdate.out" >&2
  exit 1
}
# lupdate warns about calls it cannot read (a tr() of a variable, say).
if grep -i "warning\|error" "$work/lupdate.out" >&2; then
  echo "check-translations: lupdate warned about the sources" >&2
  exit 1
fi
# Each unfinished message: its context and its Estonian source.
unfinished=$(python3 - "$work/tellar_ru.ts" <<'PY'
import sys, xml.etree.ElementTree as ET
for context in ET.parse(sys.argv[1]).getroot().iter('context'):
    name = context.findtext('name')
    for message in context.iter('message'):
        translation = message.find('translation')
        if translation is None or translation.get('type') == 'unfinished' or not (translation.text or '').strip():
            print(f"  {name}: {message.findtext('source')!r}")
PY
)
if [ -n "$unfinished" ]; then
  echo "check-translations: texts without Russian in $ts:" >&2
  echo "$unfinished" >&2
  exit 1
fi
grep "Found" "$work/lupdate.out" || true
echo "check-translations: every text has its Russian"
