#!/usr/bin/env bash
# Builds Tovrane.exe and the Windows test programs (build/win32), and the
# drive core's host-native unit tests (build/host).
#   scripts/build.sh          both builds
#   scripts/build.sh win32    the Windows programs only
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
if [ "$what" != all ] && [ "$what" != win32 ]; then
    sed -n '4,5p' "$0" | cut -c3- >&2
    exit 2
fi
scripts/setup.sh

jobs=$(nproc)

cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/win32 -j"$jobs"

if [ "$what" = all ]; then
    cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build/host -j"$jobs"
    scripts/fuzz.sh 0  # the core's fuzz target, built with clang in build/fuzz
fi
