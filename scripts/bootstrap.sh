#!/usr/bin/env bash
# Installs whatever the build, the tests and the demo need and this machine lacks.
# Idempotent: a machine that has everything is left alone and the script returns in well under a second.
set -euo pipefail

packages=(
    make cmake ninja-build python3
    mingw-w64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
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
    apt-get update -q
    apt-get install -y -q "${missing[@]}"
fi

# The mingw compiler must use the posix thread model (std::thread, std::mutex).
if [ -x /usr/bin/x86_64-w64-mingw32-g++-posix ]; then
    :
else
    echo "bootstrap: x86_64-w64-mingw32-g++-posix not found" >&2
    exit 1
fi
