#!/bin/sh
# Builds the profile-file fuzzer with clang and libFuzzer and runs it for a
# while (default 20 seconds) from the seed corpus.
#   tests/settings/run_fuzz.sh [seconds] [build directory]
set -eu
if ! command -v clang++ >/dev/null 2>&1; then
  echo "run_fuzz.sh: clang++ not found, fuzzing skipped"
  exit 0
fi
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-20}
out=${2:-$root/build/fuzz}
mkdir -p "$out/corpus"
out=$(cd "$out" && pwd)
cp "$here"/fuzz_corpus/* "$out/corpus/"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "$here/fuzz_profile_file.cpp" "$root/settings/profile_file.cpp" \
  -o "$out/fuzz_profile_file"
cd "$out"
./fuzz_profile_file -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$out/" corpus
