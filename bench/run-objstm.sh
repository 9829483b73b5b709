#!/usr/bin/env bash
# Times the named-destination job on the large PDF rewritten with object
# streams and a cross-reference stream (qpdf --object-streams=generate),
# beside mutool clean and qpdf on the same file and the job on the classic
# file, and reports the sizes of input and output: the compact rewrite puts
# the objects back into object streams, so the output should stay within 2%
# of the input, in at most the classic rewrite's time.
# Usage: bench/run-objstm.sh [PAGES] [RUNS]   (defaults: 20000 pages, 3 runs)
# BENCH_BUILD names an existing build directory to use instead of building.
set -euo pipefail

# shellcheck source=bench/prepare.sh
source "$(dirname "${BASH_SOURCE[0]}")/prepare.sh"

plain="$work/in-$pages.pdf"
in="$work/in-$pages-objstm.pdf"
[ -f "$plain" ] || "$build/bench/make-big-pdf" "$plain" "$pages"
[ -f "$in" ] || qpdf --object-streams=generate "$plain" "$in"
echo "input: $in ($(du -k "$in" | cut -f1) KB, $pages pages, object streams)"

# shellcheck source=bench/measure.sh
source "$root/bench/measure.sh"

command -v mutool >/dev/null && measure mutool mutool clean "$in" "$work/out.pdf"
measure qpdf qpdf "$in" "$work/out.pdf"
measure classic "$build/linkpoint" "$plain" "$work/out.pdf" -l ""
classicsize=$(stat -c %s "$work/out.pdf")
measure linkpoint "$build/linkpoint" "$in" "$work/out.pdf" -l ""

echo
for other in mutool qpdf; do
    [ -n "${secs[$other]:-}" ] || continue
    awk -v a="${secs[linkpoint]}" -v b="${secs[$other]}" -v ma="${rss[linkpoint]}" -v mb="${rss[$other]}" -v n="$other" \
        'BEGIN { printf "linkpoint / %-7s time %5.2fx   memory %5.2fx\n", n, (b > 0 ? a / b : 0), (mb > 0 ? ma / mb : 0) }'
done
awk -v a="${secs[linkpoint]}" -v b="${secs[classic]}" \
    'BEGIN { printf "compact rewrite / classic rewrite time %5.2fx\n", (b > 0 ? a / b : 0) }'
insize=$(stat -c %s "$in")
outsize=$(stat -c %s "$work/out.pdf")
awk -v a="$outsize" -v b="$insize" \
    'BEGIN { printf "compact: input %d bytes, output %d bytes = %.4fx\n", b, a, (b > 0 ? a / b : 0) }'
awk -v a="$classicsize" -v b="$(stat -c %s "$plain")" \
    'BEGIN { printf "classic: input %d bytes, output %d bytes = %.4fx\n", b, a, (b > 0 ? a / b : 0) }'
