#!/usr/bin/env bash
# Remakes the PDF files of tests/data/producers from their sources with the
# producers that made them. They ship with the project because these
# producers are too large to install for every test run:
#   pdftex.pdf       pdflatex (texlive-latex-base), classic table, with an
#                    uncompressed attachment that quotes PDF syntax
#   libreoffice.pdf  soffice --convert-to pdf (libreoffice-writer-nogui)
#   chromium.pdf     chromium --print-to-pdf
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
data="$root/tests/data/producers"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$data/pdftex.tex" "$data/note.txt" "$data/document.html" "$work/"
cd "$work"

pdflatex -interaction=nonstopmode -jobname=pdftex pdftex.tex >/dev/null
cp pdftex.pdf "$data/pdftex.pdf"

timeout 120 soffice --headless --convert-to pdf:writer_web_pdf_Export document.html >/dev/null
cp document.pdf "$data/libreoffice.pdf"

timeout 60 chromium --headless --no-sandbox --disable-gpu --no-pdf-header-footer \
    --print-to-pdf=chromium.pdf document.html 2>/dev/null
cp chromium.pdf "$data/chromium.pdf"
