#!/bin/sh
# Non-blank lines of tests/ against the library and tool code, and their ratio.
cd "$(dirname "$0")/.." || exit 1
count() {
  find "$@" -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.py' \) \
    -exec cat {} + 2>/dev/null | grep -c '[^[:space:]]'
}
code_dirs=""
for d in src include tools python; do [ -d "$d" ] && code_dirs="$code_dirs $d"; done
tests=$(find tests -type f -exec cat {} + | grep -c '[^[:space:]]')
# shellcheck disable=SC2086
code=$(count $code_dirs)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d, code %d, ratio %.2f\n", t, c, t / c }'
