#!/usr/bin/env bash
# Times the named-destination job on the large PDF encrypted by qpdf (AES-256,
# empty user password, classic cross-reference table) against the same job
# on the clear file and against cp. Untouched objects are carried over as
# their encrypted bytes, so the encrypted job should stay close to the clear
# one; what it adds is decrypting and encrypting what it reads and writes.
# Usage: bench/run-encrypted.sh [PAGES] [RUNS]   (defaults: 20000 pages, 3 runs)
# BENCH_BUILD names an existing build directory to use instead of building.
set -euo pipefail

# shellcheck source=bench/prepare.sh
source "$(dirname "${BASH_SOURCE[0]}")/prepare.sh"

plain="$work/in-$pages.pdf"
in="$work/in-$pages-aes256.pdf"
[ -f "$plain" ] || "$build/bench/make-big-pdf" "$plain" "$pages"
[ -f "$in" ] || qpdf --object-streams=disable --encrypt "" owner 256 -- "$plain" "$in"
echo "input: $in ($(du -m "$in" | cut -f1) MB, $pages pages, AES-256)"

# shellcheck source=bench/measure.sh
source "$root/bench/measure.sh"

measure cp cp "$in" "$work/out.pdf"
measure clear "$build/linkpoint" "$plain" "$work/out.pdf" -l ""
measure encrypted "$build/linkpoint" "$in" "$work/out.pdf" -l ""

echo
for name in clear encrypted; do
    awk -v a="${secs[$name]}" -v b="${secs[cp]}" -v n="$name" \
        'BEGIN { printf "linkpoint %-9s / cp      time %5.2fx\n", n, (b > 0 ? a / b : 0) }'
done
awk -v a="${secs[encrypted]}" -v b="${secs[clear]}" \
    'BEGIN { printf "linkpoint encrypted / clear time %5.2fx\n", (b > 0 ? a / b : 0) }'
