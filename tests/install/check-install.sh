#!/usr/bin/env bash
# Installs a build into a fresh prefix and builds examples/ against that
# prefix alone, once through find_package and once through pkg-config, then
# runs both programs on the sample PDF and checks their output with qpdf and
# pdfinfo. check-install.sh BUILDDIR
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/cvXXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() {
    echo "check-install: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >"$work/install.log"

# What a caller gets: the programs, their pages, the package files, and the
# API headers without the reader's and writer's internals.
for f in bin/linkpoint bin/corvina-probe share/man/man1/linkpoint.1 share/man/man1/corvina-probe.1 \
    include/corvina/pdf/file/CPDFDoc.h include/corvina/pdf/io/Version.h; do
    [[ -e "$prefix/$f" ]] || fail "not installed: $f"
done
config=$(find "$prefix" -name corvinaConfig.cmake)
pc=$(find "$prefix" -name corvina.pc)
[[ -n "$config" ]] || fail "no corvinaConfig.cmake"
[[ -n "$pc" ]] || fail "no corvina.pc"
[[ -n "$(find "$prefix" -name corvinaConfigVersion.cmake)" ]] || fail "no version file"
for internal in ReadAhead.h CPDFDocWriter.h SecurityHandler.h AesCbc.h ObjectExtent.h; do
    if [[ -n "$(find "$prefix/include" -name "$internal")" ]]; then
        fail "internal header installed: $internal"
    fi
done
# Every header an installed header includes is installed too.
while IFS= read -r header; do
    while IFS= read -r included; do
        [[ -e "$prefix/include/corvina/$included" ]] || fail "$header includes $included, not installed"
    done < <(sed -n 's/^#include "\(pdf\/[^"]*\)".*/\1/p' "$header")
done < <(find "$prefix/include/corvina" -name '*.h')
version=$("$prefix/bin/linkpoint" --version)
[[ "$version" == "linkpoint $(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --modversion corvina)" ]] ||
    fail "--version and corvina.pc disagree: $version"

check_output() {  # program-output output.pdf
    grep -qx "page 1: object [0-9]* 0" "$1" || fail "no page list in $1"
    grep -qx "added cvExample: [0-9]* names" "$1" || fail "no new name in $1"
    qpdf --check "$2" >/dev/null || fail "qpdf --check fails on $2"
    pdfinfo -dests "$2" | grep -q '"cvExample"' || fail "pdfinfo lists no cvExample in $2"
}

# A shared library: its SONAME from the major version, and only the API
# exported (the read-ahead helper is internal).
so=$(find "$prefix" -name 'libcorvina.so.*.*' | head -n 1)
if [[ -n "$so" ]]; then
    major=${version#linkpoint }
    major=${major%%.*}
    readelf -d "$so" | grep -q "(SONAME).*\[libcorvina\.so\.$major\]" ||
        fail "no SONAME libcorvina.so.$major in $so"
    exported=$(nm -DC --defined-only "$so")
    grep -q 'corvina::Version()' <<<"$exported" || fail "corvina::Version is not exported"
    grep -q 'corvina::CPDFDoc::Open' <<<"$exported" || fail "CPDFDoc::Open is not exported"
    ! grep -q 'corvina::ReadAhead' <<<"$exported" || fail "ReadAhead is exported"
fi

# CMake: the prefix is all the example sees.
cmake -S "$root/examples" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$work/cmake.log"
cmake --build "$work/cmake" >>"$work/cmake.log" || {
    cat "$work/cmake.log"
    fail "the example does not build with find_package"
}
env LD_LIBRARY_PATH="$(dirname "$pc")/.." "$work/cmake/add-dest" "$root/samples/sample.pdf" \
    "$work/cmake.pdf" cvExample >"$work/cmake.out"
check_output "$work/cmake.out" "$work/cmake.pdf"

# pkg-config and make.
mkdir "$work/pc"
PKG_CONFIG_PATH=$(dirname "$pc") make -s -C "$work/pc" -f "$root/examples/Makefile" \
    VPATH="$root/examples" >"$work/pc.log" 2>&1 || {
    cat "$work/pc.log"
    fail "the example does not build with pkg-config"
}
env LD_LIBRARY_PATH="$(dirname "$pc")/.." "$work/pc/add-dest" "$root/samples/sample.pdf" \
    "$work/pc.pdf" cvExample >"$work/pc.out"
check_output "$work/pc.out" "$work/pc.pdf"
echo "check-install: installed, built with CMake and pkg-config, and ran"
