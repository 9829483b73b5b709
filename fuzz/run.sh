#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one of them.
# Usage: fuzz/run.sh TARGET SECONDS [JOBS]
#   TARGET: value, document, nametree, filters, xref, security, job
#   SECONDS: CPU seconds with one job (the run stops when the fuzzer has
#   used that much CPU, however busy the machine), wall seconds with more.
# New findings land in fuzz/crashes/TARGET (commit them: they replay as
# tests); the growing corpus stays in build-fuzz/corpus/TARGET.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
target=${1:?target}
seconds=${2:?seconds}
jobs=${3:-1}

"$root/scripts/setup.sh" clang

build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVINA_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target "fuzz-$target"

corpus="$build/corpus/$target"
crashes="$root/fuzz/crashes/$target"
mkdir -p "$corpus" "$crashes"
cd "$build"
# One job runs in the foreground; more fork workers that log to fuzz-N.log.
parallel=()
((jobs > 1)) && parallel=(-jobs="$jobs" -workers="$jobs")
wall=$seconds
((jobs == 1)) && wall=$((seconds * 20))
# Scratch files of the targets: libFuzzer ends a run without static
# destructors, so what they would remove is removed here.
export TMPDIR="$build/scratch"
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
"./fuzz/fuzz-$target" -dict="$root/fuzz/pdf.dict" -max_total_time="$wall" \
    -max_len=65536 -timeout=10 -rss_limit_mb=2048 "${parallel[@]}" \
    -artifact_prefix="$crashes/" -print_final_stats=1 \
    "$corpus" "$root/fuzz/seeds/$target" &
pid=$!
if ((jobs == 1)); then
    # libFuzzer only knows wall time: interrupt it (it prints its final
    # stats on SIGINT) once its own user and system time reach SECONDS.
    ticks=$(getconf CLK_TCK)
    while kill -0 "$pid" 2>/dev/null; do
        sleep 5
        read -r -a stat <"/proc/$pid/stat" 2>/dev/null || break
        used=$(((stat[13] + stat[14]) / ticks))
        if ((used >= seconds)); then
            echo "fuzz/run.sh: $used CPU seconds used, stopping"
            kill -INT "$pid"
            break
        fi
    done
fi
status=0
wait "$pid" || status=$?
# 72: libFuzzer's exit after an interrupt, the normal end of a CPU-timed run.
((status == 72)) && status=0
rm -rf "$TMPDIR"
exit "$status"
