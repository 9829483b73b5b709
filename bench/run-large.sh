#!/usr/bin/env bash
# The full rewrite of bench/run.sh on 100,000 pages (about 620 MB): time and
# memory must stay in proportion to the 20,000-page case.
# Usage: bench/run-large.sh [RUNS]   (default: 1 run; the input takes a while)
# BENCH_BUILD names an existing build directory to use instead of building.
set -euo pipefail
exec "$(dirname "${BASH_SOURCE[0]}")/run.sh" 100000 "${1:-1}"
