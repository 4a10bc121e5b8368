#!/bin/sh
# Builds the fuzz targets with clang and runs each for the given number of seconds, one after
# the other. Usage: fuzz/run.sh [SECONDS] [TARGET...]   (default 60 s, every target)
# New corpus entries go to build-fuzz/corpus/TARGET, findings to build-fuzz/findings/TARGET.
set -eu

seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-"ParseFuzzer ScannerDiffFuzzer HtmlOutputFuzzer"}

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
jobs=${FUZZ_BUILD_JOBS:-2}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFEEDWRIGHT_FUZZ=ON -DFEEDWRIGHT_APP=OFF -DFEEDWRIGHT_TESTS=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j"$jobs" --target $targets

status=0
for target in $targets; do
  case $target in
    # Long enough for an entry nested 200,000 levels deep ("<i>" each): depth, not just size,
    # is what a hostile body tries.
    ParseFuzzer) seeds=$here/seeds/parse max_len=1048576 ;;
    HtmlOutputFuzzer) seeds=$here/seeds/html max_len=65536 ;;
    *) seeds=$here/seeds/scanner max_len=65536 ;;
  esac
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  log=$build/$target.log
  mkdir -p "$corpus" "$findings"
  echo "== $target for $seconds s (log: $log)"
  # A slow input (more than 25 s) counts as a finding: every loop here should be linear.
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len="$max_len" \
      -timeout=25 -print_final_stats=1 -artifact_prefix="$findings/" \
      "$corpus" "$seeds" >"$log" 2>&1; then
    status=1
  fi
  grep -E '^Done [0-9]+ runs' "$log" || tail -n 20 "$log"
  grep -E 'stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
  count=$(find "$findings" -type f | wc -l)
  echo "findings: $count"
  find "$findings" -type f
  [ "$count" -eq 0 ] || status=1
done
exit $status
