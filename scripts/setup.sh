#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and
# any further ones named as arguments (a checker or tool of one script);
# does nothing when all of them are already installed.
# Usage: scripts/setup.sh [PACKAGE...]
set -euo pipefail

packages=(
    build-essential cmake g++ pkg-config
    libgtest-dev googletest libbenchmark-dev
    zlib1g-dev libjpeg62-turbo-dev libtiff-dev nettle-dev
    qpdf poppler-utils ghostscript groff mupdf-tools time
    libjpeg-turbo-progs libtiff-tools locales libnss3-tools
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    if [[ "$status" != "install ok installed" ]]; then
        missing+=("$p")
    fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi

echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
