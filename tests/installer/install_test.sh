#!/usr/bin/env bash
# The installer package in a fresh Wine prefix: a silent per-machine install of both builds and what it leaves,
# COM activation of both classes from Program Files (32-bit client too where 32-bit Wine runs), a silent uninstall.
#   install_test.sh PACKAGE.msi qb_installed_class_check.exe [32-bit qb_installed_class_check.exe]
set -uo pipefail
msi=$(realpath "$1")
checker=$(realpath "$2")
export WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' WINEARCH=win64 LANG=en_GB.UTF-8
unset LC_ALL DISPLAY
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/qb-installer.XXXXXX") && export WINEPREFIX
trap 'wineserver -k; wineserver -w; rm -rf "$WINEPREFIX"' EXIT
band='HKCR\CLSID\{4c8e1f27-93b5-4d0a-8e61-2f7a9c3b5d18}'
helper='HKCR\CLSID\{b2d74e90-1a6c-4f38-9c25-7e0f3a8b6d41}'
bho='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\explorer\Browser Helper Objects\{b2d74e90-1a6c-4f38-9c25-7e0f3a8b6d41}'
main='HKCU\SOFTWARE\Microsoft\Internet Explorer\Main'
dll='C:\Program Files\Quillbury\Quillbury.dll'
dll32='C:\Program Files (x86)\Quillbury\Quillbury.dll'
view=/reg:64
failed=0

# A value's data ("" names the key's default value) or "-"; "key" or "-" for a key.
value() {
    local name=(/ve) && [ -n "$2" ] && name=(/v "$2")
    wine reg query "$1" "${name[@]}" $view 2>/dev/null | tr -d '\r' | awk -F '    ' '$3 ~ /^REG_/ { data = $4 } END { print data ? data : "-" }'
}
key() { wine reg query "$1" $view >/dev/null 2>&1 && echo key || echo -; }
expect() { # what, seen, wanted
    if [ "$2" = "$3" ]; then echo "ok: $1"; else printf 'FAILED: %s\n--- seen\n%s\n--- wanted\n%s\n' "$1" "$2" "$3"; failed=1; fi
}
arp="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(msiinfo export "$msi" Property | tr -d '\r' |
    awk -F '\t' '$1 == "ProductCode" { print $2 }')"
# One build's file and rows on one line: state_of FOLDER PACKAGED-DLL VIEW; installed DLL-PATH: what it should be.
state_of() {
    local view=$3
    printf 'file %s, folder %s' "$(cmp -s "$1/Quillbury.dll" "$2" && echo packaged || echo -)" "$([ -d "$1" ] && echo yes || echo -)"
    for class in "$band" "$helper"; do
        printf ' | %s' "$(key "$class")" "$(value "$class" '')" "$(value "$class\\InprocServer32" '')" \
            "$(value "$class\\InprocServer32" ThreadingModel)"
    done
    printf ' | toolbar %s | helper list %s %s\n' "$(value 'HKLM\SOFTWARE\Microsoft\Internet Explorer\Toolbar' \
        '{4c8e1f27-93b5-4d0a-8e61-2f7a9c3b5d18}')" "$(key "$bho")" "$(value "$bho" NoExplorer)"
}
installed() {
    echo "file packaged, folder yes | key | Quillbury | $1 | Apartment | key | Quillbury Browser Helper Object | $1 |" \
        "Apartment | toolbar QuillburyToolBarSearch | helper list key 0x1"
}
removed="file -, folder - | - | - | - | - | - | - | - | - | toolbar - | helper list - -"
state() {
    state_of "$WINEPREFIX/drive_c/Program Files/Quillbury" "$(dirname "$msi")/Quillbury.dll" /reg:64
    state_of "$WINEPREFIX/drive_c/Program Files (x86)/Quillbury" "$(dirname "$msi")/x86/Quillbury.dll" /reg:32
    echo "entry $(value "$arp" DisplayName) | $(value "$arp" DisplayVersion) | $(value "$arp" Publisher)"
    echo "debugger off $(value "$main" 'Disable Script Debugger') | $(value "$main" DisableScriptDebuggerIE)"
    echo "account $(value 'HKCU\Software\Quillbury' email)," \
        "settings $(iconv -f UTF-16 -t UTF-8 "$WINEPREFIX"/drive_c/users/*/*/*/Quillbury/Toolbar/config.ini 2>/dev/null | tr -d '\r' | grep '^version=')"
}

wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Quillbury' /v email /t REG_SZ /d someone@example.com /f >/dev/null 2>&1
wine msiexec /i "$msi" /qn || expect "msiexec /i /qn" failed succeeded
expect installed "$(state)" "$(installed "$dll")
$(installed "$dll32")
entry Quillbury Toolbar | 1.1.0.5 | Quillbury
debugger off yes | yes
account someone@example.com, settings version=1.1.05"
expect "COM activation of both classes in a 64-bit client" "$(wine "$checker" | tr -d '\r'; echo "$?")" "$dll
0"
[ -x /usr/lib/wine/wine ] && [ -f "${3:-}" ] && # else the 32-bit build's files and rows above only
    expect "COM activation of both classes in a 32-bit client" "$(wine "${3:-}" | tr -d '\r'; echo "$?")" "$dll32
0"

wine msiexec /x "$msi" /qn || expect "msiexec /x /qn" failed succeeded
expect uninstalled "$(state)" "$removed
$removed
entry - | - | -
debugger off yes | yes
account someone@example.com, settings version=1.1.05"

exit $failed
