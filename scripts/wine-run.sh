#!/usr/bin/env bash
# Runs one Windows program under Wine the way the tests need it:
#  - a private, fresh prefix per program (copied from a template prefix that is booted once per build),
#  - no debug chatter, no Mono/Gecko installers,
#  - a private Xvfb display unless QB_USE_DISPLAY=1 asks for the caller's own,
#  - nothing left running afterwards (wineserver and Xvfb are stopped), the program's exit code returned.
# Environment knobs: QB_WINE_KEEP=1 keeps the prefix for a post-mortem; QB_WINE_DPI=120 boots the prefix
# at that DPI; QB_WINE_PREFIX names the prefix folder explicitly.
set -uo pipefail

program=$1
shift
here=$(cd "$(dirname "$program")" && pwd)
name=$(basename "$program" .exe)
root=${QB_WINE_ROOT:-$here/wine-prefixes}
dpi=${QB_WINE_DPI:-96}
template=$root/.template-$dpi
prefix=${QB_WINE_PREFIX:-$root/$name-$dpi}

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win64
# A fixed locale gives every run the same ANSI code page (Windows-1252).
export LANG=en_GB.UTF-8
unset LC_ALL

mkdir -p "$root"

xvfb_pid=
stop_display() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null; xvfb_pid=; }
start_display() {
    if [ "${QB_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        return
    fi
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -dpi "$dpi" 3>"$fifo" >/dev/null 2>&1 &
    xvfb_pid=$!
    local number
    read -r -t 20 number <"$fifo" || number=
    rm -f "$fifo"
    if [ -z "$number" ]; then
        echo "wine-run: Xvfb did not start" >&2
        exit 125
    fi
    export DISPLAY=:$number
}

# The template is booted once per DPI and copied for each program: a copy takes a fraction of a boot. It is
# booted again when Wine's installed loaders changed since: a prefix booted before 32-bit Wine was installed
# cannot start 32-bit programs ("could not load kernel32.dll").
stamp="$(wine --version 2>&1) $(ls /usr/lib/wine 2>/dev/null | tr '\n' ' ')"
(
    flock 9
    if [ "$(cat "$template/.booted" 2>/dev/null)" != "$stamp" ]; then
        rm -rf "$template"
        WINEPREFIX=$template wineboot -i >/dev/null 2>&1
        if [ "$dpi" != 96 ]; then
            WINEPREFIX=$template wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
            WINEPREFIX=$template wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
                /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
        fi
        WINEPREFIX=$template wineserver -w
        echo "$stamp" >"$template/.booted"
    fi
) 9>"$root/.template.lock"

rm -rf "$prefix"
cp -a "$template" "$prefix"
export WINEPREFIX=$prefix

trap 'stop_display; WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1' EXIT
start_display

wine "$program" "$@"
status=$?

wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
stop_display
[ "${QB_WINE_KEEP:-0}" = 1 ] || rm -rf "$prefix"
exit $status
