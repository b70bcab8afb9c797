#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when any is missing:
# the compilers and build tools, Qt 6, GoogleTest, CLI11, clang's fuzzer runtime, the TFTP peers the
# tests talk to, what builds and checks the package (dpkg-dev, the manual-page linter), ss and ip
# (iproute2). With --windows also the cross compiler for Windows, Wine to run what it builds, and
# what makes the installer and its icons, and the virtual display the windows are tested on.
set -euo pipefail

packages=(cmake g++ make qt6-base-dev libgtest-dev libcli11-dev clang libclang-rt-14-dev
          tftp-hpa tftpd-hpa atftp busybox curl dpkg-dev mandoc iproute2)
if [ "${1:-}" = "--windows" ]; then
    packages+=(g++-mingw-w64-x86-64-posix googletest wine wine64 nsis librsvg2-bin icoutils
              xvfb fonts-wine)
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
((${#missing[@]})) || exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"

# The tests start tftpd-hpa themselves on ports of their own; the system service would only
# hold port 69, which pellsd wants.
if [[ " ${missing[*]} " == *" tftpd-hpa "* ]] && command -v systemctl >/dev/null &&
    [ -d /run/systemd/system ]; then
    $sudo systemctl disable --now tftpd-hpa >/dev/null 2>&1 || true
fi
