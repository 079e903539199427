#!/usr/bin/env bash
# The installer package end to end, in a fresh Wine prefix: a silent per-machine install, what it leaves on
# the machine (file, COM classes, Internet Explorer's lists, the Add/Remove Programs entry), COM activation
# of both classes from the installed file, then a silent uninstall and what it takes away and leaves.
# Usage: install_test.sh <package.msi> <InstalledClassCheck.exe>
set -uo pipefail

msi=$(realpath "$1")
checker=$(realpath "$2")
wxs=$(realpath "$(dirname "$0")/../../installer/Quillbury.wxs")

band='{4c8e1f27-93b5-4d0a-8e61-2f7a9c3b5d18}'
helper='{b2d74e90-1a6c-4f38-9c25-7e0f3a8b6d41}'
toolbar_key='HKLM\SOFTWARE\Microsoft\Internet Explorer\Toolbar'
helper_key="HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects\\$helper"
ie_main_key='HKCU\SOFTWARE\Microsoft\Internet Explorer\Main'
installed='C:\Program Files\Quillbury\Quillbury.dll'

export WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' WINEARCH=win64 LANG=en_GB.UTF-8
unset LC_ALL DISPLAY
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/qb-installer.XXXXXX")
export WINEPREFIX
installed_unix=$WINEPREFIX/drive_c/Program\ Files/Quillbury/Quillbury.dll
later=$(mktemp -d "${TMPDIR:-/tmp}/qb-installer-later.XXXXXX")
cleanup() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    rm -rf "$WINEPREFIX" "$later"
}
trap cleanup EXIT

passed=0
failed=0
check() { # description, then the command that must succeed
    local description=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok: $description"
    else
        failed=$((failed + 1))
        echo "FAILED: $description"
    fi
}
# The data of one registry value ("" names the key's default value), or nothing when it is missing.
reg_value() {
    local switch=(/v "$2")
    [ -z "$2" ] && switch=(/ve)
    wine reg query "$1" "${switch[@]}" 2>/dev/null | tr -d '\r' |
        awk -F '    ' '$3 ~ /^REG_/ { data = $4; for (i = 5; i <= NF; i++) data = data FS $i; print data; exit }'
}
value_is() { [ "$(reg_value "$1" "$2")" = "$3" ]; }
key_exists() { wine reg query "$1" >/dev/null 2>&1; }
key_missing() { ! key_exists "$1"; }
value_missing() { ! wine reg query "$1" /v "$2" >/dev/null 2>&1; }
file_exists() { [ -f "$1" ]; }
file_missing() { [ ! -e "$1" ]; }

product_code=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F '\t' '$1 == "ProductCode" { print $2 }')
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code"

wineboot -i >/dev/null 2>&1
# The per-user account store exists before the install and must outlive the uninstall.
wine reg add 'HKCU\Software\Quillbury' /v email /t REG_SZ /d 'someone@example.com' /f >/dev/null 2>&1

# --- install ---
check "msiexec /i /qn succeeds" wine msiexec /i "$msi" /qn
check "the DLL is installed under Program Files" file_exists "$installed_unix"
check "the installed DLL is the packaged one" cmp -s "$installed_unix" "$(dirname "$msi")/Quillbury.dll"
for clsid in "$band" "$helper"; do
    check "$clsid InprocServer32 is the installed file" value_is "HKCR\\CLSID\\$clsid\\InprocServer32" "" "$installed"
    check "$clsid ThreadingModel is Apartment" value_is "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel Apartment
done
check "band class name" value_is "HKCR\\CLSID\\$band" "" Quillbury
check "helper class name" value_is "HKCR\\CLSID\\$helper" "" 'Quillbury Browser Helper Object'
check "toolbar listed" value_is "$toolbar_key" "$band" QuillburyToolBarSearch
check "helper listed with NoExplorer 1" value_is "$helper_key" NoExplorer 0x1
check "script debugger off (IE)" value_is "$ie_main_key" 'Disable Script Debugger' yes
check "script debugger off (IE script)" value_is "$ie_main_key" DisableScriptDebuggerIE yes
check "uninstall entry for $product_code: name" value_is "$uninstall_key" DisplayName 'Quillbury Toolbar'
check "uninstall entry: version" value_is "$uninstall_key" DisplayVersion 1.1.0.5
check "uninstall entry: publisher" value_is "$uninstall_key" Publisher Quillbury
check "account store kept by the install" value_is 'HKCU\Software\Quillbury' email 'someone@example.com'
# The library's own registration ran for the installing user: its one-time settings upgrade marks the INI.
config=$(find "$WINEPREFIX/drive_c/users" -path '*/Quillbury/Toolbar/config.ini' 2>/dev/null | head -n 1)
check "the library's own registration ran (settings upgraded)" grep -q '^version=1.1.05' "${config:-/nonexistent}"

activation=$(wine "$checker" 2>/dev/null | tr -d '\r')
while IFS= read -r line; do echo "  activation: $line"; done <<<"$activation"
expected_activation=$(printf 'band %s\nhelper %s' "$installed" "$installed")
check "COM creates both classes from the installed file" [ "$activation" = "$expected_activation" ]

# --- uninstall ---
check "msiexec /x /qn succeeds" wine msiexec /x "$msi" /qn
check "the DLL is removed" file_missing "$installed_unix"
check "the Quillbury folder is removed" file_missing "$(dirname "$installed_unix")"
check "band class removed" key_missing "HKCR\\CLSID\\$band"
check "helper class removed" key_missing "HKCR\\CLSID\\$helper"
check "toolbar value removed" value_missing "$toolbar_key" "$band"
check "helper key removed" key_missing "$helper_key"
check "uninstall entry removed" key_missing "$uninstall_key"
check "account store stays" value_is 'HKCU\Software\Quillbury' email 'someone@example.com'
check "script debugger values stay" value_is "$ie_main_key" DisableScriptDebuggerIE yes

# --- upgrade: a later package replaces this one in place and keeps the registration ---
(cd "$(dirname "$msi")" && wixl -a x64 -D SourceDir=. -D ProductVersion=1.1.1.0 -o "$later/later.msi" "$wxs")
later_code=$(msiinfo export "$later/later.msi" Property | tr -d '\r' | awk -F '\t' '$1 == "ProductCode" { print $2 }')
check "this package installs again" wine msiexec /i "$msi" /qn
check "upgrade to a later package succeeds" wine msiexec /i "$later/later.msi" /qn
check "upgrade: the earlier entry is gone" key_missing "$uninstall_key"
check "upgrade: the later entry is there" value_is "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$later_code" \
    DisplayVersion 1.1.1.0
check "upgrade: the DLL is in place" file_exists "$installed_unix"
check "upgrade: the band stays registered" value_is "HKCR\\CLSID\\$band\\InprocServer32" "" "$installed"
check "upgrade: the helper stays listed" value_is "$helper_key" NoExplorer 0x1
check "upgrade: the toolbar stays listed" value_is "$toolbar_key" "$band" QuillburyToolBarSearch
check "later package uninstalls" wine msiexec /x "$later/later.msi" /qn
check "later package: the DLL is removed" file_missing "$installed_unix"
check "later package: the band is unregistered" key_missing "HKCR\\CLSID\\$band"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
