# Sourced by the benchmark scripts, which set `runs` and `work`.
# measure NAME COMMAND...: median wall seconds and median peak RSS (KB) of
# RUNS runs, kept in secs[NAME] and rss[NAME] and printed.
declare -A secs rss
measure() {
    local name=$1; shift
    local times=() mems=()
    for ((i = 0; i < runs; i++)); do
        rm -f "$work/out.pdf"
        /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>&1
        read -r t m <"$work/time.txt"
        times+=("$t"); mems+=("$m")
    done
    secs[$name]=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    rss[$name]=$(printf '%s\n' "${mems[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    printf '%-10s median %6.2f s   peak RSS %8d KB\n' "$name" "${secs[$name]}" "${rss[$name]}"
}
