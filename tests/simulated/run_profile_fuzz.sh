#!/bin/sh
# Builds the machine-profile fuzzer with clang and libFuzzer, under
# AddressSanitizer and UndefinedBehaviorSanitizer with `unreachable` checked
# (toml++ 3.3.0 reaches __builtin_unreachable on some input that the reader
# must refuse before parsing), and runs it for a while (default 20 seconds)
# from the shipped and test profiles.
#   tests/simulated/run_profile_fuzz.sh [seconds] [build directory]
set -eu
if ! command -v clang++ >/dev/null 2>&1; then
  echo "run_profile_fuzz.sh: clang++ not found, fuzzing skipped"
  exit 0
fi
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-20}
out=${2:-$root/build/fuzz-profile}
mkdir -p "$out/corpus"
out=$(cd "$out" && pwd)
cp "$root"/profiles/*.toml "$here"/*.toml "$out/corpus/"
# A build of its own with clang: every library the reader uses carries the
# fuzzer's coverage and the sanitizers, optimised (-O1) but without NDEBUG,
# so toml++'s own assertions are checked as well.
flags="-O1 -g -fsanitize=fuzzer-no-link,address,undefined,unreachable -fno-sanitize-recover=all -fno-omit-frame-pointer"
launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
cmake -S "$root" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DHALCYRA_PROFILE_FUZZER=ON -DHALCYRA_BENCH=OFF $launcher >/dev/null
cmake --build "$out" --target fuzz_machine_profile -- -j"$(nproc)"
cd "$out"
./tests/simulated/fuzz_machine_profile -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
  -artifact_prefix="$out/" corpus
