#!/usr/bin/env bash
# Installs whatever the build, the tests and the demo need and this machine lacks.
# Idempotent: a machine that has everything is left alone and the script returns in well under a second.
set -euo pipefail

packages=(
    make cmake ninja-build python3
    mingw-w64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    g++-mingw-w64-i686-posix binutils-mingw-w64-i686
    wine wine64 xvfb x11-utils xdotool imagemagick
    clang libclang-rt-14-dev libbenchmark-dev googletest
    msitools wixl openssl
    chromium
)
# The popup's lint and browser tests run on node and npm. Machines that bring their own Node.js (with npm
# inside its package) keep it: Debian's npm package would conflict with it.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    packages+=(nodejs npm)
fi

# 32-bit Wine (for the 32-bit build's tests) only where the kernel runs 32-bit x86 programs: some virtual
# machines' kernels do not, and there the 32-bit loader would take over the `wine` command and start nothing.
# The probe is the smallest such program: it only exits with status 0.
runs_i386() {
    local probe status
    probe=$(mktemp)
    python3 - "$probe" <<'PROBE'
import struct, sys
code = bytes.fromhex('b801000000' '31db' 'cd80')  # exit(0)
base = 0x08048000
header = struct.pack('<16sHHIIIIIHHHHHH', b'\x7fELF\x01\x01\x01', 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
segment = struct.pack('<8I', 1, 0, base, base, 84 + len(code), 84 + len(code), 5, 0x1000)
open(sys.argv[1], 'wb').write(header + segment + code)
PROBE
    chmod +x "$probe"
    "$probe" 2>/dev/null
    status=$?
    rm -f "$probe"
    return $status
}
i386=no
if runs_i386; then
    i386=yes
    packages+=(wine32:i386)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "bootstrap: installing ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "bootstrap: run as root (or install these packages first)" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    # The 32-bit build runs under Debian's 32-bit Wine, which comes from the i386 architecture.
    if [ "$i386" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q
    apt-get install -y -q "${missing[@]}"
fi
# Where the i386 architecture was added anyway, wine recommends its 32-bit loader; on a kernel that cannot run it,
# that loader would take over the `wine` command, so it goes.
if [ "$i386" = no ] && dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    echo "bootstrap: removing wine32:i386 (this kernel does not run 32-bit x86 programs)"
    if [ "$(id -u)" -ne 0 ]; then
        echo "bootstrap: run as root (or remove wine32:i386 first)" >&2
        exit 1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -q wine32:i386
fi

# The mingw compiler must use the posix thread model (std::thread, std::mutex).
for compiler in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix; do
    if [ ! -x "/usr/bin/$compiler" ]; then
        echo "bootstrap: $compiler not found" >&2
        exit 1
    fi
done
