# Sourced by the benchmark scripts after set -euo pipefail, with their
# arguments: sets root, pages ($1, default 20000), runs ($2, default 3),
# build (BENCH_BUILD, an existing build directory, or build-release made
# here after installing what is missing) and work (BENCH_DIR, or a new
# temporary directory), where the generated inputs are kept.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
pages=${1:-20000}
runs=${2:-3}
build=${BENCH_BUILD:-}
if [ -z "$build" ]; then
    "$root/scripts/setup.sh"
    "$root/scripts/build.sh" build-release -DCMAKE_BUILD_TYPE=Release >/dev/null
    build="$root/build-release"
fi
work=${BENCH_DIR:-$(mktemp -d)}
