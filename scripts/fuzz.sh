#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer), replays each one's seed corpus, then fuzzes each
# from it for a while. A crash, leak or timeout fails the run and prints the
# input (also kept as build/fuzz/findings/NAME/crash-* and the like). What a run
# finds that is new stays in build/fuzz/corpus-NAME, not in the repository.
#   scripts/fuzz.sh                every target, FUZZ_SECONDS (default 30) each
#   scripts/fuzz.sh NAME [SECONDS] one target: profile, tracklist, mci, res, image or link
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_FUZZ=ON >/dev/null
cmake --build build/fuzz --target fuzzers -j "$(nproc)"

cat tests/lsan.supp fuzz/lsan.supp >build/fuzz/lsan.supp
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$PWD/build/fuzz/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

fuzz() {
  local name=$1 seconds=$2
  local target=build/fuzz/fuzz/fuzz_$name seeds=fuzz/corpus/$name
  local work=build/fuzz/corpus-$name findings=build/fuzz/findings/$name
  local options=(-timeout=10 -rss_limit_mb=2048 -artifact_prefix="$findings/")
  [ -f "fuzz/$name.dict" ] && options+=(-dict="fuzz/$name.dict")
  mkdir -p "$work" "$findings"
  echo "== fuzz_$name: replaying $(ls "$seeds" | wc -l) seeds, then ${seconds}s =="
  if ! "$target" "${options[@]}" -runs=0 "$seeds" 2>"$findings/replay.log" ||
     ! "$target" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 "$work" "$seeds" \
       2>"$findings/fuzz.log"; then
    tail -n 60 "$findings"/*.log
    for input in "$findings"/crash-* "$findings"/leak-* "$findings"/timeout-* "$findings"/oom-*; do
      [ -f "$input" ] || continue
      echo "-- input $input:"
      head -c 2048 "$input" | od -A d -t x1z
    done
    return 1
  fi
  grep -h '^stat::number_of_executed_units' "$findings/fuzz.log" || true
}

if [ $# -ge 1 ]; then
  fuzz "$1" "${2:-${FUZZ_SECONDS:-30}}"
else
  for name in profile tracklist mci res image link; do fuzz "$name" "${FUZZ_SECONDS:-30}"; done
fi
