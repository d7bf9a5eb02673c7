#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the run need, when they are missing.
# Needs root (or sudo) the first time; does nothing when everything is there.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd cmake || need+=(cmake)
have_cmd g++ || need+=(g++)
have_cmd make || need+=(make)
have_cmd git || need+=(git)
have_cmd clang++ || need+=(clang)
have_pkg googletest || need+=(googletest)
have_pkg libbenchmark-dev || need+=(libbenchmark-dev)
have_pkg libclang-rt-14-dev || need+=(libclang-rt-14-dev)
have_cmd x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
have_cmd x86_64-w64-mingw32-windres || need+=(binutils-mingw-w64-x86-64)
have_cmd makensis || need+=(nsis)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
# Wine's own fonts: without them its caption buttons (Marlett symbols) are drawn as letters.
have_pkg fonts-wine || need+=(fonts-wine)
have_cmd xvfb-run || need+=(xvfb)
have_cmd xauth || need+=(xauth)
have_cmd import || need+=(imagemagick)
have_cmd xdotool || need+=(xdotool)
have_cmd python3 || need+=(python3)
have_cmd clang-tidy || need+=(clang-tidy)
have_cmd cppcheck || need+=(cppcheck)

if [ ${#need[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${need[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if have_cmd sudo; then sudo="sudo"; else
        echo "error: missing packages (${need[*]}) and not root; run this script as root" >&2
        exit 1
    fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${need[@]}"
