#!/usr/bin/env bash
# Builds Tovrane.exe and the Windows test programs (build/win32), and the
# drive core's host-native unit tests (build/host).
#   scripts/build.sh           everything
#   scripts/build.sh windows   the Windows programs that Wine runs here
#   scripts/build.sh win32     build/win32 only: Tovrane.exe as it ships
# Where Wine cannot run 32-bit programs (scripts/wine-env.sh, tw_select_mode),
# the same sources are also built for x86-64 (build/win64), and the Wine
# suites, the demo and the benchmark run those; build/win32 is built always.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
what=${1:-all}
case $what in
all | windows | win32) ;;
*)
    sed -n '4,6p' "$0" | cut -c3- >&2
    exit 2
    ;;
esac
scripts/setup.sh

jobs=$(nproc)
# shellcheck source=wine-env.sh
source scripts/wine-env.sh

# build_windows MODE: build/MODE, the Windows programs for the mode.
build_windows() {
    cmake -S . -B "build/$1" -DCMAKE_TOOLCHAIN_FILE="cmake/$(tw_toolchain "$1")" \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build "build/$1" -j"$jobs"
}

build_windows win32
[ "$what" = win32 ] && exit 0

if ! mode=$(tw_wine_mode); then
    echo "build: no Wine starts here; the Wine suites will fail" >&2
    mode=win32
fi
echo "build: Wine runs here in $(TW_MODE=$mode tw_mode_summary)"
if [ "$mode" = win64 ]; then
    build_windows win64
fi

if [ "$what" = all ]; then
    cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Release \
        -DTOVRANE_WINE_BUILD_DIR="$root/build/$mode" >/dev/null
    cmake --build build/host -j"$jobs"
    scripts/fuzz.sh 0  # the core's fuzz target, built with clang in build/fuzz
fi
