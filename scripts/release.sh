#!/usr/bin/env bash
# Packs build/release/Tovrane-<version>.zip for users: Tovrane.exe (with its
# icon, version information and manifest inside), the exe's SHA-256, and a
# short readme in Simplified Chinese as UTF-16LE text with a byte-order mark
# and CRLF line ends, which Notepad on Windows XP shows as it should.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh win32
command -v zip >/dev/null || scripts/setup.sh

# The one version header, read as the resource compiler reads it.
version=$(awk '/#define TOVRANE_VERSION_(MAJOR|MINOR|PATCH) / { v = v (v ? "." : "") $3 } END { print v }' \
    ui/Version.h)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "release: no version in ui/Version.h" >&2; exit 1; }

exe=build/win32/Tovrane.exe
staging=build/release/Tovrane-$version
rm -rf "$staging" "$staging.zip"
mkdir -p "$staging"
cp "$exe" "$staging/Tovrane.exe"
(cd "$staging" && sha256sum Tovrane.exe | sed 's/$/\r/' >Tovrane.exe.sha256)
{
    printf '\xff\xfe'
    sed 's/$/\r/' docs/release/README-zh.txt | iconv -f UTF-8 -t UTF-16LE
} >"$staging/README.txt"
(cd build/release && zip -q -X -r "Tovrane-$version.zip" "Tovrane-$version")
echo "build/release/Tovrane-$version.zip:"
unzip -l "build/release/Tovrane-$version.zip" | sed -n '4,6p'
cat "$staging/Tovrane.exe.sha256"
