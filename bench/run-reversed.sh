#!/usr/bin/env bash
# Times the named-destination job on the large PDF written with its objects
# in the reverse of their numbers' order (make-big-pdf ... reversed), as
# objects that updates replaced lie, against the same pages in order and
# against cp. The job writes objects in number order, so on the reversed file
# its reader goes back for every object it carries over.
# Usage: bench/run-reversed.sh [PAGES] [RUNS]   (defaults: 20000 pages, 3 runs)
# BENCH_BUILD names an existing build directory to use instead of building.
set -euo pipefail

# shellcheck source=bench/prepare.sh
source "$(dirname "${BASH_SOURCE[0]}")/prepare.sh"

plain="$work/in-$pages.pdf"
in="$work/in-$pages-reversed.pdf"
[ -f "$plain" ] || "$build/bench/make-big-pdf" "$plain" "$pages"
[ -f "$in" ] || "$build/bench/make-big-pdf" "$in" "$pages" 100 reversed
echo "input: $in ($(du -m "$in" | cut -f1) MB, $pages pages, objects in reverse order)"

# shellcheck source=bench/measure.sh
source "$root/bench/measure.sh"

measure cp cp "$in" "$work/out.pdf"
measure in-order "$build/linkpoint" "$plain" "$work/out.pdf" -l ""
measure reversed "$build/linkpoint" "$in" "$work/out.pdf" -l ""

echo
for name in in-order reversed; do
    awk -v a="${secs[$name]}" -v b="${secs[cp]}" -v n="$name" \
        'BEGIN { printf "linkpoint %-9s / cp   time %5.2fx\n", n, (b > 0 ? a / b : 0) }'
done
