#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, starting from the committed seed
# corpus. New inputs collect in the build folder, never in the repository.
# A crash, a sanitizer report or a timeout fails the run and leaves its
# reproducer in <build>/fuzz-artifacts/.
#   fuzz/run.sh <build dir> [seconds per target] [targets...]
set -euo pipefail
build=$(cd "${1:?build dir}" && pwd)  # the targets change directory
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : 1 ))
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(script colormap import render)
here="$(cd "$(dirname "$0")" && pwd)"

declare -A max_len=([script]=4096 [colormap]=8192 [import]=4096 [render]=256)
mkdir -p "$build/fuzz-artifacts"
# The harness lets reproducers through its confinement of file names.
export SKERROW_FUZZ_ARTIFACTS="$build/fuzz-artifacts/"
status=0
for t in "${targets[@]}"; do
  work="$build/fuzz-corpus/$t"
  mkdir -p "$work"
  args=(-max_total_time="$seconds" -max_len="${max_len[$t]}" -timeout=30 -rss_limit_mb=4096
        -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$t-")
  [ -f "$here/$t.dict" ] && args+=(-dict="$here/$t.dict")
  echo "== fuzz_$t for ${seconds}s"
  start=$(date +%s)
  if ! nice "$build/fuzz/fuzz_$t" "${args[@]}" "$work" "$here/corpus/$t" > "$build/fuzz-$t.log" 2>&1; then
    status=1
    echo "fuzz_$t FAILED; the end of its log:"
    tail -n 60 "$build/fuzz-$t.log"
  fi
  end=$(date +%s)
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/fuzz-$t.log" | grep -o '[0-9]*$' || echo "?")
  echo "fuzz_$t: $runs executions in $((end - start))s"
done
exit $status
