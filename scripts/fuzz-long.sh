#!/usr/bin/env bash
# Usage: fuzz-long.sh BUILD_DIR SECONDS [TARGET...]
# Runs each fuzz target (all of BUILD_DIR/fuzz by default, in the order given)
# for SECONDS under nice, then merges the inputs that add coverage into
# fuzz/corpus/<target>/ (small inputs only). Every crash, leak, timeout or
# out-of-memory input is copied into the corpus too, so that replaying it
# stays a regression test, and listed at the end.
set -uo pipefail
build=$1 seconds=$2; shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
max_len=${FUZZ_MAX_LEN:-4096}
targets=("$@")
if [ ${#targets[@]} = 0 ]; then
  for bin in "$build"/fuzz/fuzz_*; do targets+=("$(basename "${bin#*/fuzz_}")"); done
fi
status=0
for name in "${targets[@]}"; do
  bin="$build/fuzz/fuzz_$name" corpus="$root/fuzz/corpus/$name"
  work=$(mktemp -d) findings=$(mktemp -d)
  mkdir -p "$corpus"
  cp "$corpus"/* "$work"/ 2>/dev/null || true
  log="$build/fuzz-long_$name.log"
  # -fork keeps going past a finding, so one crash does not end the run.
  nice -n 10 "$bin" -max_total_time="$seconds" -rss_limit_mb=256 -timeout=2 -max_len="$max_len" \
    -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -artifact_prefix="$findings/" "$work" >"$log" 2>&1
  nice -n 10 "$bin" -merge=1 -rss_limit_mb=256 -timeout=2 -max_len="$max_len" "$corpus" "$work" \
    >>"$log" 2>&1
  found=$(ls "$findings" | wc -l)
  cp "$findings"/* "$corpus"/ 2>/dev/null || true
  runs=$(grep -o 'exec/s: [0-9]*' "$log" | tail -1)
  execs=$(grep -Eo '^#[0-9]+' "$log" | tr -d '#' | sort -n | tail -1)
  echo "fuzz $name: ${seconds}s, about ${execs:-0} executions (last $runs), $found finding(s)"
  for f in "$findings"/*; do [ -e "$f" ] && echo "  finding: fuzz/corpus/$name/$(basename "$f")"; done
  [ "$found" = 0 ] || status=1
  rm -rf "$work" "$findings"
done
exit $status
