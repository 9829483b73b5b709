#!/usr/bin/env bash
# Times the named-destination job on documents whose Dests tree already holds
# NAMES names, as a second run over a very large book finds it: one leaf of
# references to destination objects, the same names split over a thousand
# leaves, and one leaf holding its destinations directly. The job reads,
# merges and writes the whole tree; time and memory must grow linearly.
# Usage: bench/run-dests.sh [NAMES] [RUNS]   (defaults: 1000000 names, 3 runs)
# BENCH_BUILD names an existing build directory to use instead of building.
set -euo pipefail

# shellcheck source=bench/prepare.sh
source "$(dirname "${BASH_SOURCE[0]}")/prepare.sh"
names=${1:-1000000}

leaf="$work/dests-$names.pdf"
kids="$work/dests-$names-kids.pdf"
direct="$work/dests-$names-direct.pdf"
[ -f "$leaf" ] || "$build/bench/make-dests-pdf" "$leaf" "$names"
[ -f "$kids" ] || "$build/bench/make-dests-pdf" "$kids" "$names" 1000
[ -f "$direct" ] || "$build/bench/make-dests-pdf" "$direct" "$names" "$names" direct
for f in "$leaf" "$kids" "$direct"; do
    echo "input: $f ($(du -m "$f" | cut -f1) MB)"
done

# shellcheck source=bench/measure.sh
source "$root/bench/measure.sh"

measure leaf "$build/linkpoint" "$leaf" "$work/out.pdf" -l ""
measure kids "$build/linkpoint" "$kids" "$work/out.pdf" -l ""
measure direct "$build/linkpoint" "$direct" "$work/out.pdf" -l ""
