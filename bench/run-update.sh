#!/usr/bin/env bash
# Times the job as an incremental update (-i) of the large PDF beside cp of
# the same file: the update is a clone or kernel copy of the input plus a
# small appended section, so it should cost about what cp costs.
# Usage: bench/run-update.sh [PAGES] [RUNS]   (defaults: 20000 pages, 3 runs)
# BENCH_BUILD names an existing build directory to use instead of building.
set -euo pipefail

# shellcheck source=bench/prepare.sh
source "$(dirname "${BASH_SOURCE[0]}")/prepare.sh"

in="$work/in-$pages.pdf"
[ -f "$in" ] || "$build/bench/make-big-pdf" "$in" "$pages"
echo "input: $in ($(du -m "$in" | cut -f1) MB, $pages pages)"

# shellcheck source=bench/measure.sh
source "$root/bench/measure.sh"

measure cp cp "$in" "$work/out.pdf"
measure full "$build/linkpoint" "$in" "$work/out.pdf" -l ""
measure update "$build/linkpoint" -i "$in" "$work/out.pdf" -l ""
echo "appended: $(( $(stat -c %s "$work/out.pdf") - $(stat -c %s "$in") )) bytes"

echo
for name in full update; do
    awk -v a="${secs[$name]}" -v b="${secs[cp]}" -v ma="${rss[$name]}" -v mb="${rss[cp]}" -v n="$name" \
        'BEGIN { printf "%-10s / cp       time %5.2fx   memory %5.2fx\n", n, (b > 0 ? a / b : 0), (mb > 0 ? ma / mb : 0) }'
done
