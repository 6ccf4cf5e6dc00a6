#!/usr/bin/env bash
# Runs one Windows test program under Wine in a prefix, display and
# wineserver of its own, with the drives, locale and display it asks for, and
# answers with its exit status. The options are explained in README.md.
#
# run-suite.sh --build BUILD_DIR --name NAME [--locale zh_CN|C]
#              [--drive L=TYPE[:STATE]]... [--watch-c] [--timeout SECONDS] [--keep]
#              -- PROGRAM.exe [ARG...]
set -u -o pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../scripts/wine-env.sh
source "$here/../../scripts/wine-env.sh"

usage() { sed -n '6,8p' "${BASH_SOURCE[0]}" | cut -c3- >&2; exit 2; }

build_dir="" name="" locale=zh_CN bound=240 drives=() watch_c=""
while [ $# -gt 0 ]; do
    case $1 in
    --build) build_dir=${2:-} && shift 2 ;;
    --name) name=${2:-} && shift 2 ;;
    --locale) locale=${2:-} && shift 2 ;;
    --drive) drives+=("${2:-}") && shift 2 ;;
    --timeout) bound=${2:-} && shift 2 ;;
    --watch-c) watch_c=1 && shift ;;
    --keep) TW_KEEP=1 && shift ;;
    --) shift && break ;;
    *) usage ;;
    esac
done
[ -n "$build_dir" ] && [ -n "$name" ] && [ $# -ge 1 ] || usage
program=$1
shift
[ -f "$program" ] || tw_die "no $program: build it first (scripts/build.sh)"
[[ $bound =~ ^[0-9]+$ ]] || tw_die "--timeout takes seconds"

started=$EPOCHREALTIME
tw_select_mode || exit 2
tw_log "suite $name: $(tw_mode_summary)"
# What is installed for the suite, each of the mode's kind: a build for the
# other kind means the build was configured on another machine.
installed=("$program" "$build_dir/Tovrane.exe" "$(dirname "$program")"/{probe.dll,decoy_cmd.exe})
for file in "${installed[@]}"; do
    kind=$(tw_exe_mode "$file") || tw_die "$file is missing, or no Windows program"
    [ "$kind" = "$TW_MODE" ] ||
        tw_die "$file is a $kind program; Wine runs here in $TW_MODE mode: run scripts/build.sh"
done
wine_dir=$(cd "$build_dir" && pwd)/wine
tw_prepare "$wine_dir" "$locale" || exit 2
export TOVRANE_LOCALE=$locale

trap tw_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
run_dir=$(mktemp -d "$wine_dir/runs/$name.XXXXXX") || tw_die "cannot make the suite's folder"
tw_new_prefix "$TW_TEMPLATE" "$run_dir"

unwritable=""
for drive in "${drives[@]}"; do
    [[ $drive =~ ^([A-Za-z])=([a-z]+)(:([a-z]+))?$ ]] || tw_die "bad --drive '$drive'"
    letter=${BASH_REMATCH[1]^^} state=${BASH_REMATCH[4]:-folder}
    tw_map_drive "$letter" "${BASH_REMATCH[2]}" "$state"
    [ "$state" = readonly ] || continue
    # A stale autorun.inf that stays: the root cannot be written, the file can.
    printf '[autorun]\r\nopen=stale.exe\r\n' >"$(tw_drive_folder "$letter")/autorun.inf" ||
        tw_die "could not write $letter:'s autorun.inf"
    tw_freeze_drive "$letter" && unwritable+=$letter ||
        tw_log "drive $letter: could not be made unwritable (chattr +i); its tests will skip"
done
export TOVRANE_UNWRITABLE_DRIVES=$unwritable
export TOVRANE_DRIVES_DIR=$TW_RUN_DIR/drives
tw_write_drive_types
tw_use_shell_desktop  # the tests click the tray icon in its taskbar

# Beside the program: the build's Tovrane.exe, and the probe and decoy built with it.
for file in "${installed[@]}"; do
    cp "$file" "$TW_PREFIX/drive_c/tovrane/" || tw_die "could not install $file"
done

tw_start_freezer
[ -n "$watch_c" ] && tw_watch_drive_c
tw_start_display
tw_start_wineserver
ready=$EPOCHREALTIME

tw_run_program "$bound" "$(basename "$program")" "$@"
status=$?
tw_log "$(awk -v n="$name" -v m="$TW_MODE" -v s="$started" -v r="$ready" -v f="$EPOCHREALTIME" \
    -v x="$status" 'BEGIN { printf "suite %s (%s): set-up %.1f s, run %.1f s, exit status %d",
                            n, m, r - s, f - r, x }')"
exit $status
