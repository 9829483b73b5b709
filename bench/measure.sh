# Sourced by the benchmark scripts, which set `runs` and `work`.
# measure NAME COMMAND...: median wall seconds, median peak RSS (KB) and
# median minor page faults of RUNS runs, kept in secs[NAME], rss[NAME] and
# faults[NAME] and printed. Faults vary little from run to run; on a virtual
# machine each costs microseconds, so they show what the times blur.
declare -A secs rss faults
measure() {
    local name=$1; shift
    local times=() mems=() minors=()
    for ((i = 0; i < runs; i++)); do
        rm -f "$work/out.pdf"
        /usr/bin/time -f "%e %M %R" -o "$work/time.txt" "$@" >/dev/null 2>&1
        read -r t m f <"$work/time.txt"
        times+=("$t"); mems+=("$m"); minors+=("$f")
    done
    secs[$name]=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    rss[$name]=$(printf '%s\n' "${mems[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    faults[$name]=$(printf '%s\n' "${minors[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    printf '%-10s median %6.2f s   peak RSS %8d KB   page faults %7d\n' "$name" "${secs[$name]}" \
        "${rss[$name]}" "${faults[$name]}"
}
