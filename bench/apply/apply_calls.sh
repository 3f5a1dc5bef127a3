#!/usr/bin/env bash
# The system calls and files opened of one Apply of 50 takes x 24 files
# (bench_apply calls), counted by strace between the program's marks,
# against the bound: the same heads read and the same bytes written in
# place with plain calls. Needs strace.
#   bench/apply/apply_calls.sh [path of bench_apply]
set -euo pipefail
bench=${1:-"$(dirname "$0")/../../build/bench/apply/bench_apply"}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} strace -f -qq -o "$log" "$bench" calls >/dev/null
# A call strace splits between two threads is counted once, at its start.
awk '
    /nalvo-calls-mark:apply-begin/ { part = "apply"; next }
    /nalvo-calls-mark:bound-begin/ { part = "bound"; next }
    /nalvo-calls-mark:(apply|bound)-end/ { part = ""; next }
    part != "" && !/<\.\.\. [a-z0-9_]+ resumed>/ {
        calls[part]++
        if ($0 ~ /[^a-z_](open|openat|openat2)\(/ && $0 !~ /= -1 /) opened[part]++
    }
    END {
        printf "Apply of 50 takes x 24 files: %d files opened, %d system calls; the same heads read and bytes written in place: %d files opened, %d system calls (bound): ratio %.2f (target <= 4.3)\n",
            opened["apply"], calls["apply"], opened["bound"], calls["bound"], calls["apply"] / calls["bound"]
    }' "$log"
