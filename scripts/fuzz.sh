#!/usr/bin/env bash
# Usage: fuzz.sh BUILD_DIR SECONDS. With 0 seconds each target only replays
# its committed corpus; otherwise it explores for that long in a scratch copy.
set -euo pipefail
build=$1 seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
status=0 passed=0 failed=0
for bin in "$build"/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin"); name=${name#fuzz_}
  corpus="$root/fuzz/corpus/$name"
  if [ "$seconds" = 0 ]; then
    echo "fuzz $name: replaying corpus"
    if [ -d "$corpus" ]; then
      if "$bin" -rss_limit_mb=512 -timeout=5 "$corpus"/* >/dev/null 2>"$build/fuzz_$name.log"; then
        passed=$((passed + 1))
      else
        cat "$build/fuzz_$name.log"; status=1; failed=$((failed + 1))
      fi
    fi
  else
    work=$(mktemp -d)
    [ -d "$corpus" ] && cp "$corpus"/* "$work"/ 2>/dev/null || true
    echo "fuzz $name: ${seconds}s"
    # Loads free whole 2 MiB blocks; ASan's default quarantine of 256 MB would
    # alone pass the memory limit below after a few minutes.
    if ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=32} "$bin" -max_total_time="$seconds" -rss_limit_mb=256 -timeout=1 -max_len=65536 "$work"; then
      passed=$((passed + 1))
    else
      status=1; failed=$((failed + 1))
    fi
    rm -rf "$work"
  fi
done
echo "fuzz: $passed passed, $failed failed"
exit $status
