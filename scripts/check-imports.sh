#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that Windows does not ship:
# Tovrane must run from a USB stick with nothing beside it.
#   scripts/check-imports.sh BUILD_WIN32_DIR
set -euo pipefail
dir=${1:?usage: check-imports.sh BUILD_WIN32_DIR}

windows_dlls='^(kernel32|user32|gdi32|shell32|comctl32|advapi32|ole32|oleaut32|msvcrt|ws2_32|comdlg32|shlwapi|uxtheme|version)\.dll$'
count=0
bad=0
while IFS= read -r -d '' exe; do
    count=$((count + 1))
    while read -r dll; do
        if ! printf '%s\n' "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$windows_dlls"; then
            echo "FAIL ${exe#"$dir"/} imports $dll"
            bad=1
        fi
    done < <(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$dir" -name '*.exe' -not -path '*/CMakeFiles/*' -not -path '*/drive_c/*' -not -path '*/dosdevices/*' -print0)

if [ "$count" -eq 0 ]; then
    echo "FAIL no Windows programs found under $dir"
    exit 1
fi
echo "checked $count programs"
exit "$bad"
