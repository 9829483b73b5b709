#!/usr/bin/env bash
# Counts the instructions the named-destination job executes on the
# benchmark file, with valgrind's callgrind. Wall time on a shared or
# virtual machine moves by a third from run to run; the count repeats to
# the instruction, so a change worth a few per cent shows.
# Usage: bench/instructions.sh [PAGES] [LINKPOINT OPTIONS...]
#   (defaults: 20000 pages; -l "" is always passed)
# BENCH_DIR keeps the generated file between runs; BENCH_BUILD names an
# existing build directory to use instead of building.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
pages=${1:-20000}
shift || true
build=${BENCH_BUILD:-}
"$root/scripts/setup.sh" valgrind
if [ -z "$build" ]; then
    "$root/scripts/build.sh" build-release -DCMAKE_BUILD_TYPE=Release >/dev/null
    build="$root/build-release"
fi

work=${BENCH_DIR:-$(mktemp -d)}
in="$work/in-$pages.pdf"
[ -f "$in" ] || "$build/bench/make-big-pdf" "$in" "$pages"
rm -f "$work/out.pdf" "$work/callgrind.out"
valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" \
    "$build/linkpoint" "$in" "$work/out.pdf" -l "" "$@" 2>"$work/callgrind.log"
count=$(sed -n 's/^summary: *//p' "$work/callgrind.out")
printf 'linkpoint on %s pages: %s instructions (%s per page)\n' "$pages" "$count" \
    "$((count / pages))"
echo "profile: callgrind_annotate $work/callgrind.out"
