#!/usr/bin/env bash
# Refreshes the README's screenshots of the Windows sheet under Wine
# (docs/screenshots/). ./test writes its screenshots to build/screenshots/
# and never touches docs/; run this when the pictures are meant to change.
set -euo pipefail
cd "$(dirname "$0")/.."
HALCYRA_WINE_ONLY=screenshots HALCYRA_SCREENSHOT_DIR="$PWD/docs/screenshots" \
  exec tests/win32/run_wine_tests.sh "$@"
