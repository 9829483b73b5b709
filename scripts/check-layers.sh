#!/usr/bin/env bash
# Prints every include that points against the layers
#   io <- object <- stream <- file <- structure <- tool
# (each folder may include only itself and the folders to its left) and every
# pair of classes (header and source) that include each other. Exits 1 when it printed anything.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

rank() {
    case "$1" in
        pdf/io/*) echo 0 ;;
        pdf/object/*) echo 1 ;;
        pdf/stream/*) echo 2 ;;
        pdf/file/*) echo 3 ;;
        pdf/structure/*) echo 4 ;;
        tool/*) echo 5 ;;
        *) echo -1 ;;
    esac
}

bad=0
declare -A includes
while IFS= read -r file; do
    from=$(rank "$file")
    while IFS= read -r target; do
        # A header and its source file are one unit.
        includes["${file%.*}>${target%.*}"]=1
        to=$(rank "$target")
        if ((to > from)); then
            echo "against the layers: $file includes $target"
            bad=1
        fi
    done < <(sed -n 's/^#include "\(\(pdf\|tool\)\/[^"]*\)".*/\1/p' "$file")
done < <(find pdf tool -name '*.h' -o -name '*.cpp' | sort)

for key in "${!includes[@]}"; do
    a=${key%%>*}
    b=${key#*>}
    if [[ "$a" != "$b" && -n "${includes["$b>$a"]:-}" && "$a" < "$b" ]]; then
        echo "include each other: $a and $b"
        bad=1
    fi
done
exit "$bad"
