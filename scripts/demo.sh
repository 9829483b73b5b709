#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tool on a copy of the
# sample document (three pages, one named destination "intro"), which it
# replaces in place: shows the log, then the named destinations before and
# after as pdfinfo lists them.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build

bin="$root/build/linkpoint"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/samples/sample.pdf" "$work/sample.pdf"

echo "\$ pdfinfo -dests sample.pdf"
pdfinfo -dests "$work/sample.pdf"
echo
echo "\$ linkpoint sample.pdf"
(cd "$work" && "$bin" sample.pdf)
echo
echo "\$ pdfinfo -dests sample.pdf"
pdfinfo -dests "$work/sample.pdf"
