#!/usr/bin/env bash
# Holds run_wine_tests.sh to its one build choice: below the line that ends
# that choice, no command names a build folder (build/win32, build/win64,
# $WIN32, $WIN64, $WINBUILD); the parts take their programs from the names
# the choice sets. Otherwise a part may hand the 32-bit Wine an x86_64
# program, which only shows on a machine whose kernel runs 32-bit programs.
# Runs on every machine (ctest), whether or not Wine can run there.
#
# Usage: check_build_choice.sh FILE
#        check_build_choice.sh --self-test FILE
#   --self-test: FILE must pass, and copies of it with a build folder put
#   back into a part (the differential's program among them) must fail.
set -uo pipefail
MARKER='# ---- end of the build choice ----'

check() {  # file: 0 when clean, else 1 with the offending lines
  local file=$1 markers
  markers=$(grep -cxF -- "$MARKER" "$file")
  if [ "$markers" != 1 ]; then
    echo "$file: the line '$MARKER' stands $markers times (once expected)" >&2
    return 1
  fi
  local hits
  hits=$(awk -v marker="$MARKER" '
    $0 == marker { after = 1; next }
    !after || /^[ \t]*#/ { next }
    /\$\{?(WIN32|WIN64|WINBUILD)([^A-Za-z0-9_]|$)/ || /build\/win(32|64)/ || /build\/\$\{?preset/ {
      printf "%d: %s\n", NR, $0
    }' "$file")
  if [ -n "$hits" ]; then
    echo "$file: a part names a build folder instead of the build choice's names:" >&2
    echo "$hits" >&2
    return 1
  fi
}

self_test() {  # file
  local file=$1 tmp status=0 from to
  check "$file" || return 1
  tmp=$(mktemp -d)
  # Each line: a text of the script and what a careless edit would put there.
  while IFS='|' read -r from to; do
    [ -n "$from" ] || continue
    if ! grep -qF -- "$from" "$file"; then
      echo "self-test: '$from' no longer stands in $file; update the self-test" >&2
      status=1; continue
    fi
    FROM=$from TO=$to awk '{ i = index($0, ENVIRON["FROM"])
      if (i && !done) { $0 = substr($0, 1, i - 1) ENVIRON["TO"] substr($0, i + length(ENVIRON["FROM"])); done = 1 }
      print }' "$file" >"$tmp/planted"
    if check "$tmp/planted" 2>/dev/null; then
      echo "self-test: the check passed with '$to' put back in place of '$from'" >&2
      status=1
    fi
  done <<'PLANTS'
"$WIN_PROGRAMS/halcyra-setup-test.exe" "$diff/"|"$WIN64/win32/halcyra-setup-test.exe" "$diff/"
cd "$WIN_TESTS"|cd "$ROOT/build/win32/win32/tests"
"$WIN_GLIDE/$library/glide2x.dll" "$run/"|"${WINBUILD}/test-glide/$library/glide2x.dll" "$run/"
"$WIN_ZIP/halcyra-report.exe"|"$WIN32/package/unpacked/halcyra-report.exe"
PLANTS
  rm -rf "$tmp"
  return $status
}

case "${1:-}" in
  --self-test) [ $# = 2 ] && self_test "$2" ;;
  *) [ $# = 1 ] && check "$1" ;;
esac || exit 1
