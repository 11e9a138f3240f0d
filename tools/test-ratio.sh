#!/usr/bin/env bash
# Lines of test code against lines of product code (C++, and the support
# page's JavaScript), and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { find "$@" \( -name '*.cpp' -o -name '*.h' -o -name '*.js' \) -print0 | xargs -0 cat | wc -l; }
product_dirs=()
for dir in base app settings hardware pages res dialog_model simulated terminal win32 web programs; do
  [ -d "$dir" ] && product_dirs+=("$dir")
done
tests=$(count tests)
product=$(count "${product_dirs[@]}")
echo "test lines:    $tests"
echo "product lines: $product"
awk -v t="$tests" -v p="$product" 'BEGIN { printf "ratio:         %.2f\n", t / p }'
