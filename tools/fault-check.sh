#!/usr/bin/env bash
# Plants each deliberate fault of a folder of patches (tests/faults by
# default) in the logic, one at a time, rebuilds, runs the default ctest and
# prints which tests caught it. A fault no test catches is a hole in the
# tests: the script then ends with status 1. The checkout is put back after
# every patch, also when the script is interrupted.
#
#   tools/fault-check.sh [PATCH-DIR] [BUILD-DIR]     (build/default by default)
#
# Extra ctest options (a -R filter, say) go in FAULT_CTEST_ARGS.
set -uo pipefail
cd "$(dirname "$0")/.."
patches=${1:-tests/faults}
build=${2:-build/default}
jobs=${JOBS:-2}
[ -d "$build" ] || { echo "no build folder $build: configure it first" >&2; exit 2; }

applied=""
restore() { [ -n "$applied" ] && git apply -R "$applied" && applied=""; }
trap 'restore; exit 130' INT TERM

missed=0
for patch in "$patches"/*.patch; do
  name=$(basename "$patch" .patch)
  if ! git apply --check "$patch" 2>/dev/null; then
    echo "$name: DOES NOT APPLY"; missed=1; continue
  fi
  git apply "$patch" && applied=$patch
  if ! cmake --build "$build" -j"$jobs" >"$build/fault-$name.log" 2>&1; then
    echo "$name: caught by the build"
    restore; continue
  fi
  # shellcheck disable=SC2086
  ctest --test-dir "$build" -j"$jobs" ${FAULT_CTEST_ARGS:-} >>"$build/fault-$name.log" 2>&1
  failed=$(sed -n '/The following tests FAILED/,$p' "$build/fault-$name.log" |
           sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p')
  restore
  if [ -z "$failed" ]; then
    echo "$name: NOT CAUGHT"; missed=1
  else
    echo "$name: caught by $(echo "$failed" | wc -l) tests: $(echo "$failed" | tr '\n' ' ')"
  fi
done
# The last rebuild leaves the build folder on the faultless code.
cmake --build "$build" -j"$jobs" >/dev/null 2>&1
exit $missed
