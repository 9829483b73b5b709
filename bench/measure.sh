# Sourced by the benchmark scripts, which set `runs` and `work`.
# measure NAME COMMAND...: median wall seconds, median peak RSS (KB),
# median minor page faults and median user and system seconds of RUNS runs,
# kept in secs[NAME], rss[NAME], faults[NAME], user[NAME] and sys[NAME] and
# printed. User and system time are in hundredths, but they tell apart the
# work a command does itself from what the kernel's copies cost. Faults vary
# little from run to run; on a virtual machine each costs microseconds, so
# they show what the times blur.
# Wall time is taken by the shell to the microsecond: time(1) gives
# hundredths, too coarse for a cp of a few hundredths.
declare -A secs rss faults user sys
# median VALUES...: the middle of the values in numeric order.
median() {
    printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"
}
measure() {
    local name=$1; shift
    local times=() mems=() minors=() users=() systems=() m f u s
    for ((i = 0; i < runs; i++)); do
        rm -f "$work/out.pdf"
        local start=$EPOCHREALTIME
        /usr/bin/time -f "%M %R %U %S" -o "$work/time.txt" "$@" >/dev/null 2>&1
        local end=$EPOCHREALTIME
        read -r m f u s <"$work/time.txt"
        times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')")
        mems+=("$m"); minors+=("$f"); users+=("$u"); systems+=("$s")
    done
    secs[$name]=$(median "${times[@]}")
    rss[$name]=$(median "${mems[@]}")
    faults[$name]=$(median "${minors[@]}")
    user[$name]=$(median "${users[@]}")
    sys[$name]=$(median "${systems[@]}")
    printf '%-10s median %7.3f s (user %5.2f s, system %5.2f s)   peak RSS %8d KB   page faults %7d\n' \
        "$name" "${secs[$name]}" "${user[$name]}" "${sys[$name]}" "${rss[$name]}" "${faults[$name]}"
}
