#!/usr/bin/env bash
# The support page in headless Chromium: builds the page (preset "web") and
# halcyra-sim (preset "default"), then plays every stored case in the page
# and in halcyra-sim and compares them (tests/web/page_test.js). Screenshots
# and scratch files go to build/web-tests/.
#
#   tests/web/run_web_tests.sh [--no-build]
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ "${1:-}" != "--no-build" ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake --preset web "${launcher[@]}" >/dev/null
  cmake --build build/web -- -j"$(nproc)"
  [ -f build/default/build.ninja ] || cmake --preset default "${launcher[@]}" >/dev/null
  cmake --build build/default --target halcyra-sim -- -j"$(nproc)"
fi
node tests/web/page_test.js build/web/halcyra-support.html build/default/programs/halcyra-sim build/web-tests
