#!/usr/bin/env bash
# Prints every C++ source and header that clang-format (with the project's
# .clang-format) would change. Exits 1 when it printed anything.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh" clang-format

bad=0
while IFS= read -r file; do
    if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
        echo "not formatted: $file"
        bad=1
    fi
done < <(git ls-files '*.cpp' '*.h')
exit $bad
