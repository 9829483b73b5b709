#!/usr/bin/env bash
# Times the named-destination job against plain copies and rewrites of one
# large PDF: cp, dd, mutool clean, qpdf, and linkpoint, several runs each.
# Usage: bench/run.sh [PAGES] [RUNS]   (defaults: 20000 pages, 3 runs)
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
# The same copy through user space, in the job's 512 KB reads and writes:
# what the job's own copying of the bytes costs, without any parsing.
measure dd dd if="$in" of="$work/out.pdf" bs=512K status=none
command -v mutool >/dev/null && measure mutool mutool clean "$in" "$work/out.pdf"
measure qpdf qpdf "$in" "$work/out.pdf"
measure linkpoint "$build/linkpoint" "$in" "$work/out.pdf" -l ""

echo
# Every command against cp: the floor a copy of the file costs on this disk.
for name in dd mutool qpdf linkpoint; do
    [ -n "${secs[$name]:-}" ] || continue
    awk -v a="${secs[$name]}" -v b="${secs[cp]}" -v ma="${rss[$name]}" -v mb="${rss[cp]}" -v n="$name" \
        'BEGIN { printf "%-10s / cp       time %5.2fx   memory %5.2fx\n", n, (b > 0 ? a / b : 0), (mb > 0 ? ma / mb : 0) }'
done
echo
for other in mutool qpdf; do
    [ -n "${secs[$other]:-}" ] || continue
    awk -v a="${secs[linkpoint]}" -v b="${secs[$other]}" -v ma="${rss[linkpoint]}" -v mb="${rss[$other]}" -v n="$other" \
        'BEGIN { printf "linkpoint / %-7s time %5.2fx   memory %5.2fx\n", n, (b > 0 ? a / b : 0), (mb > 0 ? ma / mb : 0) }'
done
