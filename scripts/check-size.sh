#!/usr/bin/env bash
# Fails when Tovrane.exe outgrows its limit. It runs from USB sticks and
# copies itself into the Startup folder, and one careless use of the standard
# library (a helper that throws, printf's floating point) brings back the
# hundreds of KB of runtime that cmake/SmallProgram.cmake keeps out.
#   scripts/check-size.sh BUILD_WIN32_DIR [LIMIT_BYTES]   (150 KB by default)
set -euo pipefail
dir=${1:?usage: check-size.sh BUILD_WIN32_DIR [LIMIT_BYTES]}
limit=${2:-$((150 * 1024))}

exe=$dir/Tovrane.exe
if [ ! -f "$exe" ]; then
    echo "FAIL $exe not found"
    exit 1
fi
size=$(stat -c %s "$exe")
if [ "$size" -gt "$limit" ]; then
    echo "FAIL Tovrane.exe is $size bytes, over the limit of $limit"
    exit 1
fi
echo "Tovrane.exe is $size bytes (limit $limit)"
