#!/usr/bin/env bash
# Lines of test C++ against lines of product C++, and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { find "$@" \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 cat | wc -l; }
product_dirs=()
for dir in base app settings hardware pages res dialog_model simulated terminal win32; do
  [ -d "$dir" ] && product_dirs+=("$dir")
done
tests=$(count tests)
product=$(count "${product_dirs[@]}")
echo "test lines:    $tests"
echo "product lines: $product"
awk -v t="$tests" -v p="$product" 'BEGIN { printf "ratio:         %.2f\n", t / p }'
