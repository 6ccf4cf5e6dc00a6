#!/usr/bin/env bash
# Fails when the layers' includes point the wrong way. core/ is plain C++ that
# reaches the system only through platform/Platform.h, so it builds natively
# for the unit tests; platform/ never looks back at core/ or ui/, so that the
# rules of the program live in one place and the platform stays a service.
#   scripts/check-layers.sh [ROOT]
set -euo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root"

bad=0
# check FOLDER ALLOWED_REGEX: every quoted include of FOLDER's sources must
# match ALLOWED_REGEX; system headers (<...>) must not name Windows ones in core/.
check() {
    local folder=$1 allowed=$2 file line
    while IFS=: read -r file line; do
        echo "FAIL $file includes ${line#*#include }, which $folder/ may not"
        bad=1
    done < <(grep -HE '^\s*#\s*include\s*"' "$folder"/*.h "$folder"/*.cpp |
        grep -vE "#\s*include\s*\"($allowed)\"" || true)
}
check core 'core/[A-Za-z]+\.h|platform/Platform\.h'
check platform 'platform/[A-Za-z0-9]+\.h'
while IFS=: read -r file line; do
    echo "FAIL $file includes ${line#*#include }: core/ is plain C++ without Windows headers"
    bad=1
done < <(grep -HEi '^\s*#\s*include\s*<(windows|win[a-z0-9]*|shellapi|shlobj|shlwapi|dbt|commctrl)\.h>' \
    core/*.h core/*.cpp || true)

[ "$bad" -eq 0 ] && echo "core/ -> platform/Platform.h only; platform/ includes only itself"
exit "$bad"
