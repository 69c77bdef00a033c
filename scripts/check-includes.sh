#!/usr/bin/env bash
# Fails when an include in the console runs against the house's direction,
# when a core file includes a widget header, or when files include each other
# in a cycle (console/ and sim/).
#
#   bash scripts/check-includes.sh [root]     (root: the checkout, default ..)
#
# The direction, folder by folder (a folder may always include itself):
#
#   common    nothing of the console
#   till      nothing of the console (the till hand-off's codec, shared
#             with tellar-pay)
#   session   common
#   printing  common
#   widgets   common
#   reports   session common
#   journal   reports session common
#   dialogs   widgets session common
#   tech      journal reports session common
#   window    till dialogs widgets journal reports printing session common
#   main.cpp  anything
#
# Core files are those a CMakeLists.txt of the console lists under
# target_sources(tellar_core ...); they include nothing of QtWidgets, QtGui
# or QtPrintSupport and no file listed under tellar_gui. A unit is a file
# stem (Form1.h with Form1.cpp, and a class's private part Name_p.h with
# them); a cycle of units is reported with its path.
# Changing the table is a design decision: make it here, on purpose.
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

declare -A allowed=(
  [common]=""
  [till]=""
  [session]="common"
  [printing]="common"
  [widgets]="common"
  [reports]="session common"
  [journal]="reports session common"
  [dialogs]="widgets session common"
  [tech]="journal reports session common"
  [window]="till dialogs widgets journal reports printing session common"
)

failures=0
fail() {
  echo "check-includes: $*" >&2
  failures=$((failures + 1))
}

# The project's includes of a file: "folder/Name.h" or "Name.h", one a line.
includes_of() {
  sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$1"
}

# --- Direction ---------------------------------------------------------------
while IFS= read -r file; do
  rel=${file#console/}
  if [ "$rel" = main.cpp ]; then continue; fi
  from=${rel%%/*}
  if [ -z "${allowed[$from]+set}" ]; then
    fail "$file: folder '$from' has no place in the direction table"
    continue
  fi
  while IFS= read -r inc; do
    case "$inc" in */*) ;; *) continue ;; esac
    to=${inc%%/*}
    [ -d "console/$to" ] || continue          # a library or test header
    [ "$to" = "$from" ] && continue
    if ! [[ " ${allowed[$from]} " == *" $to "* ]]; then
      fail "$file includes \"$inc\": $from may not include $to"
    fi
  done < <(includes_of "$file")
done < <(find console -name '*.h' -o -name '*.cpp' | sort)

# --- Core files include no widget header ------------------------------------
# The files a CMakeLists.txt lists for one target, as console/<folder>/<file>.
sources_of() {
  local target=$1 list
  for list in console/*/CMakeLists.txt; do
    awk -v t="$target" -v dir="$(dirname "$list")" '
      $0 ~ "target_sources\\(" t "[[:space:]]" { on = 1; next }
      on && /\)/ { on = 0 }
      on { for (i = 1; i <= NF; ++i) if ($i ~ /\.(h|cpp)$/) print dir "/" $i }
    ' "$list"
  done
}
mapfile -t core < <(sources_of tellar_core | sort -u)
mapfile -t gui < <(sources_of tellar_gui | sort -u)
[ ${#core[@]} -gt 0 ] || fail "no core files found in console/*/CMakeLists.txt"

qt=""
for d in /usr/include/*/qt6 /usr/include/qt6; do
  [ -d "$d/QtWidgets" ] && { qt=$d; break; }
done
[ -n "$qt" ] || fail "Qt 6 headers not found (QtWidgets)"

declare -A isGui=()
for g in "${gui[@]}"; do isGui[${g#console/}]=1; done
for file in "${core[@]}"; do
  [ -f "$file" ] || { fail "$file is listed for tellar_core but does not exist"; continue; }
  while IFS= read -r inc; do
    if [ -n "${isGui[$inc]+set}" ]; then
      fail "$file (core) includes \"$inc\", a widget file"
    fi
  done < <(includes_of "$file")
  while IFS= read -r sys; do
    name=${sys#*/}
    module=${sys%%/*}
    if [ "$module" = "$sys" ]; then
      for m in QtWidgets QtGui QtPrintSupport; do
        [ -n "$qt" ] && [ -e "$qt/$m/$sys" ] && { module=$m; break; }
      done
    fi
    case "$module" in
      QtWidgets|QtGui|QtPrintSupport) fail "$file (core) includes <$sys> of $module" ;;
    esac
    : "$name"
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<\(Q[^>]*\)>.*/\1/p' "$file")
done

# --- No cycles of units --------------------------------------------------------
# Edges "includer included" between units (folder/stem), fed to tsort, which
# names a loop when there is one.
edges=$(
  for file in $(find console sim -name '*.h' -o -name '*.cpp' | sort); do
    dir=$(dirname "$file")
    stem=$(basename "${file%.*}")
    unit="$dir/${stem%_p}"
    while IFS= read -r inc; do
      if [[ "$inc" == */* ]] && [ -f "console/$inc" ]; then
        target="console/${inc%.*}"
      elif [ -f "$dir/$inc" ]; then
        target="$dir/${inc%.*}"
      else
        continue
      fi
      target=${target%_p}
      [ "$target" = "$unit" ] && continue
      echo "$unit $target"
    done < <(includes_of "$file")
  done | sort -u
)
if ! loop=$(tsort <<<"$edges" 2>&1 >/dev/null) || [ -n "$loop" ]; then
  fail "files include each other in a cycle:"
  echo "$loop" | sed 's/^tsort: -: /  /; s/^tsort: /    /' >&2
fi

if [ $failures -gt 0 ]; then
  echo "check-includes: $failures problem(s)" >&2
  exit 1
fi
echo "check-includes: every include runs the house's way (${#core[@]} core files, no cycles)"
