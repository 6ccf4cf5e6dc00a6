#!/usr/bin/env bash
# Plugs a demo USB stick into the running demo (scripts/run.sh), or pulls it
# out, as a user would: the drive appears or goes in every running program,
# and every window gets the broadcast Windows sends (stick.exe of the build
# the demo runs: build/win32, or build/win64 where Wine runs no 32-bit programs).
#   scripts/stick.sh plug    a fresh stick F: holding an autorun.inf file
#   scripts/stick.sh worm    the same, with a shortcut worm's work on it too
#   scripts/stick.sh pull    F: pulled out
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
action=${1:-}
case $action in
plug | worm | pull) ;;
*)
    echo "usage: scripts/stick.sh plug|worm|pull" >&2
    exit 2
    ;;
esac

# shellcheck source=wine-env.sh
source scripts/wine-env.sh
set +e  # the harness checks its own steps
tw_select_mode || exit 2
build=$root/build/$TW_MODE
run_dir=$build/wine/demo
stick_exe=$build/stick.exe
# Written by scripts/run.sh once its wineserver runs; gone when the demo ends.
if [ ! -f "$run_dir/session" ]; then
    echo "stick: no demo runs: start scripts/run.sh first" >&2
    exit 1
fi
display=$(sed -n 's/^DISPLAY=//p' "$run_dir/session")
demo_pid=$(sed -n 's/^DEMO_PID=//p' "$run_dir/session")
if ! kill -0 "$demo_pid" 2>/dev/null; then
    echo "stick: the demo has ended" >&2
    exit 1
fi
[ -f "$stick_exe" ] || scripts/build.sh windows || exit 1

# The demo's locale and Wine settings, its prefix (and so its wineserver) and
# its display: stick.exe must run in the very session Tovrane runs in.
tw_prepare "$build/wine" zh_CN || exit 2
export WINEPREFIX=$run_dir/prefix DISPLAY=$display
# There is no Z: drive: stick.exe runs from C:, where Tovrane is.
cp "$stick_exe" "$WINEPREFIX/drive_c/tovrane/" || exit 1
cd "$WINEPREFIX/drive_c/tovrane/work" || exit 1

if [ "$action" != pull ]; then
    # A fresh stick each time: what Tovrane left on an earlier one stays there
    # to be looked at. Inside the demo's folder, removed with it.
    folder=$(mktemp -d "$run_dir/stick-F.XXXXXX") || exit 1
    printf '[autorun]\r\nopen=virus.exe\r\n' >"$folder/autorun.inf"
    timeout 60 wine 'C:\tovrane\stick.exe' "$action" F "$folder" || exit 1
    echo "The stick holds autorun.inf; see what is left of it: ls -la $folder"
    [ "$action" = worm ] &&
        echo "and what Tovrane wrote about the worm: $folder/已隔离的可疑文件/说明.txt (UTF-16)"
else
    timeout 60 wine 'C:\tovrane\stick.exe' pull F || exit 1
fi
