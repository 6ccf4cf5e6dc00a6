#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that Windows does not ship:
# Tovrane must run from a USB stick with nothing beside it.
# Fails too when Tovrane.exe imports a function that LIST does not name, or
# LIST names one the exe no longer imports. Windows XP refuses to start an exe
# that imports a single function its DLLs lack, and Wine starts it all the
# same, so LIST, where each function stands with the source that shows XP has
# it, is the only guard.
#   scripts/check-imports.sh BUILD_WIN32_DIR [LIST]   (docs/windows-xp-imports.md by default)
set -euo pipefail
dir=${1:?usage: check-imports.sh BUILD_WIN32_DIR [LIST]}
list=${2:-$(dirname "$0")/../docs/windows-xp-imports.md}
export LC_ALL=C

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

# "dll<TAB>function" for each function EXE imports, the DLL in lower case as
# the loader matches it; an import by ordinal as "#N".
imports() {
    i686-w64-mingw32-objdump -p "$1" | awk '
        /^\tDLL Name: / { dll = tolower($3); next }
        dll != "" && /^\t[0-9a-f]+\t/ { print dll "\t" ($3 == "<none>" ? "#" $2 : $3); next }
        /^$/ { dll = "" }' | sort -u
}

# "dll<TAB>function<TAB>1" for each function the list on stdin names, 0 in
# place of 1 when its row gives no source. Under a heading "## NAME.dll", a
# table row names one or more functions in backticks in its first cell and
# their source in its second; every other heading ends the DLL's table.
listed() {
    awk -F'|' '
        /^## / {
            dll = ""
            if ($0 ~ /^## [^ ]+\.[dD][lL][lL][ \t]*$/) {
                dll = tolower($0); sub(/^## /, "", dll); sub(/[ \t]+$/, "", dll)
            }
            next
        }
        dll != "" && /^\|/ {
            cell = $2; source = $3; gsub(/[ \t]/, "", source)
            while (match(cell, /`[^`]+`/)) {
                print dll "\t" substr(cell, RSTART + 1, RLENGTH - 2) "\t" (source != "")
                cell = substr(cell, RSTART + RLENGTH)
            }
        }'
}

# compare IMPORTS LISTED: prints a FAIL line for each difference and returns
# 1 if there was one.
compare() {
    local names status=0 dll fn has
    if [ -z "$1" ]; then
        echo "FAIL no imports read from Tovrane.exe"
        return 1
    fi
    if [ -z "$2" ]; then
        echo "FAIL ${list##*/} lists no functions"
        return 1
    fi
    names=$(cut -f1,2 <<<"$2" | sort)
    while IFS=$'\t' read -r dll fn; do
        echo "FAIL Tovrane.exe imports $fn from $dll, which ${list##*/} does not list:" \
            "add it with the page that shows Windows XP SP3 has it, or do without it"
        status=1
    done < <(comm -23 <(echo "$1") <(uniq <<<"$names"))
    while IFS=$'\t' read -r dll fn; do
        [ -n "$fn" ] || continue
        echo "FAIL ${list##*/} lists $fn from $dll, which Tovrane.exe no longer imports: take it off"
        status=1
    done < <(comm -13 <(echo "$1") <(uniq <<<"$names"))
    while IFS=$'\t' read -r dll fn; do
        [ -n "$fn" ] || continue
        echo "FAIL ${list##*/} lists $fn from $dll twice"
        status=1
    done < <(uniq -d <<<"$names")
    while IFS=$'\t' read -r dll fn has; do
        if [ "$has" != 1 ]; then
            echo "FAIL ${list##*/} lists $fn from $dll without its source"
            status=1
        fi
    done <<<"$2"
    return $status
}

# The list on stdin without function FN of DLL, as the list of an exe that
# imports one function more.
without() {
    awk -v dll="$1" -v fn="\`$2\`" '
        /^## / { here = (tolower($0) ~ "^## " dll "[ \t]*$") }
        here && /^\|/ && (at = index($0, fn)) { $0 = substr($0, 1, at - 1) substr($0, at + length(fn)) }
        { print }'
}

exe=$dir/Tovrane.exe
if [ ! -f "$exe" ]; then
    echo "FAIL $exe not found"
    exit 1
fi
imported=$(imports "$exe")
if compare "$imported" "$(listed <"$list")"; then
    echo "Tovrane.exe imports $(wc -l <<<"$imported") functions, each listed in ${list##*/}"
else
    bad=1
fi

# The list check must be able to fail. With each DLL's first import taken off
# the list, it has to name that import; with a function too many and no
# source, it has to name that function twice over.
expect_failure() {  # expect_failure LISTED EXPECTED_LINE...
    local out line listed=$1
    shift
    if out=$(compare "$imported" "$listed"); then
        echo "FAIL the list check passed a list that should fail with: $1"
        bad=1
        return
    fi
    for line in "$@"; do
        if ! grep -qF -- "$line" <<<"$out"; then
            printf 'FAIL the list check did not say "%s"; it said:\n%s\n' "$line" "$out"
            bad=1
        fi
    done
}
while IFS=$'\t' read -r dll fn; do
    expect_failure "$(without "$dll" "$fn" <"$list" | listed)" "imports $fn from $dll, which"
done < <(awk -F'\t' '!seen[$1]++' <<<"$imported")
expect_failure "$({ cat "$list"; printf '\n## KERNEL32.DLL\n\n| `NoSuchImportW` | |\n'; } | listed)" \
    "lists NoSuchImportW from kernel32.dll, which Tovrane.exe no longer imports" \
    "lists NoSuchImportW from kernel32.dll without its source"
echo "the list check fails, naming the function, on lists one import short or one too long"

exit "$bad"
