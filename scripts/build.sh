#!/usr/bin/env bash
# Configures and builds: scripts/build.sh [builddir] [extra cmake arguments...]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
builddir=${1:-build}
shift || true
case "$builddir" in
    /*) ;;
    *) builddir="$root/$builddir" ;;
esac

cmake -S "$root" -B "$builddir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$builddir" -j2
