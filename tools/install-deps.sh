#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the GUI, the fuzzers, the demo, the Debian
# packages (make package, lintian, hardening-check, the manual pages' checks) and the Windows
# build (MinGW-w64 cross compiler, GoogleTest's sources, Wine, NSIS for the setup program) need,
# the tools for screenshots
# (imagemagick) and the window manager the GUI tests and a trial of the GUI run under (openbox).
# Idempotent; prints nothing when everything is already there. Run as root (or with sudo).
set -euo pipefail

packages=(
    g++ make cmake ninja-build pkg-config
    libcli11-dev zlib1g-dev libudev-dev
    umockdev libumockdev-dev
    libgtest-dev libgmock-dev
    libwxgtk3.2-dev libgtk-3-dev
    fonts-liberation2
    xvfb xauth xdotool x11-utils x11-apps imagemagick openbox
    clang libclang-rt-14-dev
    clang-format clang-tidy cppcheck
    dpkg-dev file lintian desktop-file-utils devscripts mandoc man-db bsdextrautils
    tzdata
    g++-mingw-w64-x86-64-posix googletest wine wine64 time nsis
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)
    [[ "$status" == ii* ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
