# Sourced by the benchmark scripts, which set `runs` and `work`.
# measure NAME COMMAND...: median wall seconds, median peak RSS (KB) and
# median minor page faults of RUNS runs, kept in secs[NAME], rss[NAME] and
# faults[NAME] and printed. Faults vary little from run to run; on a virtual
# machine each costs microseconds, so they show what the times blur.
# Wall time is taken by the shell to the microsecond: time(1) gives
# hundredths, too coarse for a cp of a few hundredths.
declare -A secs rss faults
measure() {
    local name=$1; shift
    local times=() mems=() minors=()
    for ((i = 0; i < runs; i++)); do
        rm -f "$work/out.pdf"
        local start=$EPOCHREALTIME
        /usr/bin/time -f "%M %R" -o "$work/time.txt" "$@" >/dev/null 2>&1
        local end=$EPOCHREALTIME
        read -r m f <"$work/time.txt"
        times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')")
        mems+=("$m"); minors+=("$f")
    done
    secs[$name]=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    rss[$name]=$(printf '%s\n' "${mems[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    faults[$name]=$(printf '%s\n' "${minors[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    printf '%-10s median %7.3f s   peak RSS %8d KB   page faults %7d\n' "$name" "${secs[$name]}" \
        "${rss[$name]}" "${faults[$name]}"
}
