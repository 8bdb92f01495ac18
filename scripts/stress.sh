#!/usr/bin/env bash
# Hunts flaky tests: runs a build's whole suite RUNS times on a loaded machine (two
# busy loops beside `ctest -j$(nproc)`) and prints, per test, how often it failed.
# A test that fails even once has a fault, in itself or in the code. Nothing is run
# again after a failure; each run is the whole suite once.
#   scripts/stress.sh BUILD [RUNS] [CTEST-ARGS...]
#   scripts/stress.sh build/release 5
#   scripts/stress.sh build/sanitize 3 -R SaveFaults     only some tests
# The build must exist (scripts/test.sh or cmake --build makes it). Each run's output
# is kept in BUILD/stress/run-N.log; the exit status is 1 when any test failed.
set -euo pipefail

build=${1:?usage: scripts/stress.sh BUILD [RUNS] [CTEST-ARGS...]}
runs=${2:-5}
shift $(($# < 2 ? $# : 2))
[ -f "$build/CTestTestfile.cmake" ] || { echo "stress: $build is not a build folder" >&2; exit 2; }
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "stress: RUNS must be a positive number" >&2; exit 2; }

logs=$build/stress
mkdir -p "$logs"
rm -f "$logs"/run-*.log

# The load: each loop spins in its own process until the script ends. The trap stops
# them, and a CTest run under way, on any exit, an interrupt included; a loop also
# ends on its own once the script is gone (killed outright, the trap cannot run).
loops=()
ctest_pid=
stop() {
  if [ -n "$ctest_pid" ]; then kill -TERM -- "-$ctest_pid" 2>/dev/null || true; fi
  if [ ${#loops[@]} -ne 0 ]; then kill "${loops[@]}" 2>/dev/null || true; fi
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
for _ in 1 2; do
  (while kill -0 $$ 2>/dev/null; do :; done) &
  loops+=($!)
done

declare -A failed=() reasons=()
total=0
for run in $(seq 1 "$runs"); do
  log=$logs/run-$run.log
  start=$SECONDS
  # In the background, so that a signal reaches the trap at once, and in a process
  # group of its own, so that stopping it stops the tests it started as well.
  setsid ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@" </dev/null >"$log" 2>&1 &
  ctest_pid=$!
  wait "$ctest_pid" || true
  ctest_pid=
  count=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$log" | tail -1)
  [ -n "$count" ] || { echo "stress: run $run did not finish, see $log" >&2; exit 2; }
  total=$count
  # CTest lists each failure as "  12 - Name (Failed)" after its summary line.
  fails=0
  while IFS= read -r line; do
    [[ $line =~ ^[[:space:]]*[0-9]+\ -\ (.+)\ \((.+)\)$ ]] || continue
    name=${BASH_REMATCH[1]}
    failed[$name]=$((${failed[$name]:-0} + 1))
    reasons[$name]="${reasons[$name]:+${reasons[$name]}, }run $run: ${BASH_REMATCH[2]}"
    fails=$((fails + 1))
  done < <(sed -n '/^The following tests FAILED:/,$p' "$log")
  echo "run $run of $runs: $fails of $count tests failed ($((SECONDS - start)) s)"
done

echo "== stress summary: $build, $runs runs of $total tests, 2 busy loops beside ctest -j$(nproc) =="
if [ ${#failed[@]} -eq 0 ]; then
  echo "no test failed"
  exit 0
fi
for name in "${!failed[@]}"; do
  printf '%s\tfailed %d of %d runs (%s)\n' "$name" "${failed[$name]}" "$runs" "${reasons[$name]}"
done | sort
echo "${#failed[@]} tests failed at least once; logs in $logs"
exit 1
