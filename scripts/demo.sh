#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tool: first with no
# arguments (the usage line), then with -v (the version banner). Both end
# with exit code 1 by design.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build

bin="$root/build/linkpoint"
echo "\$ linkpoint"
"$bin" || echo "(exit code $?)"
echo
echo "\$ linkpoint -v"
"$bin" -v || echo "(exit code $?)"
