#!/usr/bin/env bash
# Installs what building and testing Tovrane needs, on Debian 12, when it is
# missing. Safe to run again: with everything present it changes nothing.
set -euo pipefail

packages=(
    cmake g++ googletest          # host build and unit tests
    clang-14 libclang-rt-14-dev libfuzzer-14-dev  # the fuzz target: libFuzzer, sanitizers
    g++-mingw-w64-i686-posix      # the Windows programs (posix threads: GoogleTest needs std::mutex)
    mingw-w64-tools binutils-mingw-w64-i686
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64  # the same for x86-64 (build/win64)
    wine wine32 wine64 fonts-wine # running them: wine64 where 32-bit programs cannot run
    xvfb xauth xdotool x11-utils imagemagick  # a private display, input and screenshots
    fonts-wqy-microhei fonts-arphic-ukai  # Chinese glyphs (sans and Kai)
    locales e2fsprogs             # zh_CN.UTF-8 for the tests; chattr
    inotify-tools                 # the worm suite watches drive_c for writes
    zip                           # the release package
)

missing=()
for package in "${packages[@]}"; do
    arch_package=$package
    [ "$package" = wine32 ] && arch_package=wine32:i386
    if ! dpkg-query -W -f='${Status}' "$arch_package" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$arch_package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
