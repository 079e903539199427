#!/usr/bin/env bash
# make demo: Quillbury as a new user meets it. The add-on is installed into a fresh private Wine prefix,
# the stand-in answers for the cashback service, and the test browser host plays Internet Explorer in a
# window (under Xvfb, or on your own display with QB_DEMO_DISPLAY=1) through two starts of the browser:
#   first start   1. the toolbar appears with "£ 0.00"
#                 2. the user signs in through the login dialog
#   second start  3. the main worker verifies the account and the toolbar shows the cashback amounts
#                 4. Offers on a shop's page lists that shop's offers
#                 5. the helper object has put the cashback popup into the shop's page (shown in Chromium)
#                 6. "Click here" reaches the service's redirect (the stand-in's log shows the request)
# A sign-in stores the account and has the main worker verify it at once; every new browser session verifies
# the stored account again, so the second start shows the amounts too.
# Screenshots (PNG), the transcript and the stand-in's request log go to out/demo/. Needs the installer
# package build/win/Quillbury-<version>.msi and the test host: build/win32/qb_testhost.exe, a 32-bit browser
# as most users' tabs are, or build/win/qb_testhost.exe where this machine has no 32-bit Wine (`make demo`
# builds them first).
# Whatever happens, nothing it started is left running.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$root/build/win
# The browser: 32-bit where 32-bit Wine is installed, as the browser's tabs are for most users.
if [ -x /usr/lib/wine/wine ] && [ "${QB_DEMO_BITS:-32}" = 32 ]; then
    bits=32 host=$root/build/win32/qb_testhost.exe view=/reg:32 folder_name='Program Files (x86)'
else
    bits=64 host=$build/qb_testhost.exe view=/reg:64 folder_name='Program Files'
fi
work=$root/build/demo # the Wine prefixes, the session folder, the programs' own logs
out=$root/out/demo
transcript=$out/transcript.txt
requests=$out/standin-requests.jsonl
session=$work/session
template=$work/wine-template
prefix=$work/wine-prefix
host_size=(1340 560) # wide enough for the whole toolbar
shop_page=http://www.shop.example/winter-sale # also in second-start.txt
screen_size=1440x720x24

# ---- How the add-on is installed: the Windows Installer package, as a user installs it; or, with
# QB_DEMO_INSTALL=regsvr32, the DLL of the build copied to the same folder and registered by itself.
install_method=${QB_DEMO_INSTALL:-msi} # msi | regsvr32
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
msi=$build/Quillbury-$version.msi

started=$SECONDS
xvfb_pid=
standin_pid=
chromium_group=

say() { printf '%s\n' "$*" | tee -a "$transcript"; }
# Runs a command with its output shown and kept in the transcript; its error output goes to work/errors.log.
logged() { "$@" 2>>"$work/errors.log" | tee -a "$transcript"; }
fail() {
    say "demo: $*"
    exit 1
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Wine as the tests run it: 64-bit, quiet, no Mono or Gecko installers, the same locale (code page 1252).
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' LANG=en_GB.UTF-8
unset LC_ALL

cleanup() {
    local status=$?
    set +e
    trap - EXIT INT TERM
    [ -n "$chromium_group" ] && kill -- "-$chromium_group" 2>/dev/null
    for wine_prefix in "$prefix" "$template"; do
        [ -d "$wine_prefix" ] || continue
        WINEPREFIX=$wine_prefix wineserver -k >/dev/null 2>&1
        WINEPREFIX=$wine_prefix wineserver -w >/dev/null 2>&1
    done
    [ -n "$standin_pid" ] && kill "$standin_pid" 2>/dev/null && wait "$standin_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    if [ "$status" -ne 0 ]; then
        echo "demo failed (status $status); what it did so far: $transcript, program errors: $work/errors.log" >&2
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

start_display() {
    if [ "${QB_DEMO_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        say "The browser window opens on your display $DISPLAY."
        return
    fi
    local fifo number
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "$screen_size" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    xvfb_pid=$!
    read -r -t 20 number <"$fifo" || number=
    rm -f "$fifo"
    [ -n "$number" ] || fail "Xvfb did not start"
    export DISPLAY=:$number
    say "The browser window opens on a virtual screen (Xvfb $DISPLAY); QB_DEMO_DISPLAY=1 shows it on yours."
}

start_standin() {
    local port_file=$work/standin.port
    rm -f "$port_file" "$requests"
    python3 "$root/tools/standin/standin.py" --port 0 --port-file "$port_file" --log "$requests" --shops 5000 \
        --exit-with-parent >"$work/standin.out" 2>&1 &
    standin_pid=$!
    for _ in $(seq 100); do
        [ -s "$port_file" ] && break
        sleep 0.1
    done
    [ -s "$port_file" ] || fail "the stand-in did not start (see $work/standin.out)"
    proxy=http://127.0.0.1:$(cat "$port_file")
    # WinHTTP in Wine takes the proxy from here: the DLL keeps its built-in service address.
    export http_proxy=$proxy
    unset no_proxy NO_PROXY
    say "The stand-in of the cashback service answers at $proxy (5000 shops; demo account demo@example.com)."
}

# A fresh prefix for every run (a new user), copied from one that is booted once.
prepare_prefix() {
    # Booted again when Wine's loaders changed (a prefix booted before 32-bit Wine came cannot start 32-bit programs).
    local stamp
    stamp="$(wine --version 2>&1) $(ls /usr/lib/wine 2>/dev/null | tr '\n' ' ')"
    if [ "$(cat "$template/.booted" 2>/dev/null)" != "$stamp" ]; then
        say "Booting a Wine prefix for the demo (once)..."
        rm -rf "$template"
        WINEPREFIX=$template wineboot -i >>"$work/errors.log" 2>&1
        WINEPREFIX=$template wineserver -w
        echo "$stamp" >"$template/.booted"
    fi
    rm -rf "$prefix"
    cp -a "$template" "$prefix"
    # One server for the whole run, started away from the transcript's pipe.
    wineserver -p >/dev/null 2>&1
    if [ -z "$xvfb_pid" ]; then
        return
    fi
    # Xvfb has no window manager: Wine draws the windows' captions and frames itself.
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n' >"$work/display.reg"
    wine regedit /s "$(winpath "$work/display.reg")" >>"$work/errors.log" 2>&1
}

install_addon() {
    local folder="$prefix/drive_c/$folder_name/Quillbury" built=$build regsvr32=regsvr32
    if [ "$bits" = 32 ]; then
        built=$root/build/win32 regsvr32='C:\windows\syswow64\regsvr32.exe'
    fi
    case $install_method in
    msi)
        [ -f "$msi" ] || fail "no $msi (make msi builds it)"
        say "Installing the add-on: msiexec /i $(basename "$msi") /qn"
        wine msiexec /i "$(winpath "$msi")" /qn '/l*' "$(winpath "$work/msiexec.log")" >>"$work/errors.log" 2>&1 ||
            fail "msiexec failed (see $work/msiexec.log)"
        ;;
    regsvr32)
        # Where the package installs it, registered by the DLL itself.
        say "Installing the add-on: the $bits-bit Quillbury.dll into C:\\$folder_name\\Quillbury, then regsvr32 /s"
        mkdir -p "$folder"
        cp "$built/Quillbury.dll" "$folder/"
        wine "$regsvr32" /s "C:\\$folder_name\\Quillbury\\Quillbury.dll" >>"$work/errors.log" 2>&1 ||
            fail "regsvr32 failed"
        ;;
    *) fail "unknown install method $install_method" ;;
    esac
    local server
    server=$(wine reg query 'HKCR\CLSID\{4c8e1f27-93b5-4d0a-8e61-2f7a9c3b5d18}\InprocServer32' /ve $view 2>/dev/null |
        tr -d '\r' | sed -n 's/.*REG_SZ *//p')
    [ -n "$server" ] || fail "the toolbar band is not registered"
    say "  the toolbar band and the helper object are served to $bits-bit tabs by $server"
}

# One start of the browser: the test host runs a command script in the session folder.
browser_session() {
    local script=$1
    logged timeout 180 wine "$host" --size "${host_size[@]}" --script "$(winpath "$script")" ||
        fail "the browser session $(basename "$script") failed"
    for bitmap in "$session"/*.bmp; do
        [ -e "$bitmap" ] || continue
        convert "$bitmap" "$out/$(basename "$bitmap" .bmp).png"
        rm -f "$bitmap"
    done
}

# The service requests logged since request number $1: what the add-on asked of the service.
show_requests() {
    python3 - "$requests" "$1" <<'EOF' | tee -a "$transcript"
import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    entry = json.loads(line)
    if entry["seq"] > int(sys.argv[2]) and not entry["control"]:
        query = entry["query"] if len(entry["query"]) <= 60 else entry["query"][:57] + "..."
        address = entry["path"] + ("?" + query if query else "")
        print("  service: #%d %s -> %s" % (entry["seq"], address, entry["status"]))
EOF
}

# The body of a page as the stand-in serves it, fetched through the proxy.
shop_body() {
    python3 - "$1" <<'EOF'
import re, sys, urllib.request
page = urllib.request.urlopen(sys.argv[1], timeout=10).read().decode("utf-8")
print(re.search(r"<body>(.*)</body>", page, re.S).group(1))
EOF
}
# The number of the last request the stand-in logged (0 before the first).
last_request() {
    local last
    last=$(tail -n 1 "$requests" 2>/dev/null || true)
    if [ -z "$last" ]; then
        echo 0
    else
        python3 -c 'import json, sys; print(json.loads(sys.argv[1])["seq"])' "$last"
    fi
}

popup_packages() {
    local tools=$root/tools/popup-check installed=$root/tools/popup-check/node_modules/.package-lock.json
    if [ ! -f "$installed" ] || [ "$tools/package-lock.json" -nt "$installed" ]; then
        say "Installing the npm packages of tools/popup-check (playwright-core)..."
        (cd "$tools" && npm ci --no-audit --no-fund --loglevel=error) >>"$work/errors.log" 2>&1
    fi
}

# ---- The demo
needed=("$host" "$build/Quillbury.dll")
[ "$install_method" = msi ] && needed+=("$msi")
for file in "${needed[@]}"; do
    [ -f "$file" ] || {
        echo "demo: $file is missing; \`make demo\` builds it" >&2
        exit 1
    }
done
mkdir -p "$work" "$out"
rm -rf "$session" "$out"/*.png "$transcript" "$work/errors.log"
mkdir -p "$session"

say "Quillbury demo: the toolbar and the cashback popup as a new user meets them"
if [ "$bits" = 32 ]; then
    say "The browser window is a 32-bit process, as the browser's tabs are for most users."
else
    say "The browser window is a 64-bit process: this machine has no 32-bit Wine (its kernel runs no 32-bit programs)."
fi
popup_packages
start_display
start_standin
prepare_prefix
install_addon

say ""
say "== The browser starts for the first time =="
before=$(last_request)
(cd "$session" && browser_session "$root/tools/demo/first-start.txt")
show_requests "$before"

say ""
say "== The browser starts again =="
say "(A new browser session: its main worker verifies the stored account again.)"
shop_body "$shop_page" >"$session/shop-page.html"
before=$(last_request)
(cd "$session" && browser_session "$root/tools/demo/second-start.txt")
show_requests "$before"
cp "$session/page-with-popup.html" "$out/"

say "  the captured page in headless Chromium, at the shop's address:"
# In a process group of its own, so that Chromium goes with it whatever happens.
setsid timeout 120 node "$root/tools/demo/popup_in_chromium.mjs" --page "$out/page-with-popup.html" \
    --url "$shop_page" --proxy "$proxy" --log "$requests" --popup-shot "$out/5-popup.png" \
    --click-shot "$out/6-redirect.png" >"$work/chromium.out" 2>>"$work/errors.log" &
chromium_group=$!
chromium_status=0
wait "$chromium_group" || chromium_status=$?
chromium_group=
tee -a "$transcript" <"$work/chromium.out"
[ "$chromium_status" -eq 0 ] || fail "the Chromium steps failed"

say ""
say "Done in $((SECONDS - started)) s. Everything is in ${out#"$root"/}/:"
for file in "$out"/*.png; do
    say "  ${file#"$root"/}"
done
say "  ${transcript#"$root"/} (this transcript)"
say "  ${out#"$root"/}/page-with-popup.html (the shop's page with the popup, as the add-on left it)"
say "  ${requests#"$root"/} (every request the stand-in answered)"
