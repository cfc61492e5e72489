#!/bin/bash
# Installs, on Debian or Ubuntu, every package the build and the tests need:
# as root with apt-get, otherwise through sudo (as on GitHub's runners).
# Does nothing when they are all there already.
#
#   scripts/install_deps.sh            everything the tests need
#   scripts/install_deps.sh --build    only what the release build needs
set -euo pipefail

packages=(cmake ninja-build python3 g++-mingw-w64-i686 g++-mingw-w64-x86-64
          binutils-mingw-w64-i686)
if [ "${1:-}" != "--build" ]; then
    packages+=(g++ googletest libgtest-dev libbenchmark-dev
               clang libclang-rt-dev clang-tidy cppcheck
               wine wine32:i386 wine64 xvfb tmux xauth python3-jsonschema python3-yaml)
    # The workflow validator comes from npm; Node.js may come from elsewhere.
    command -v npm >/dev/null || packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null || ! sudo -n true 2>/dev/null; then
        echo "install_deps: installing packages needs root, or sudo without a password;" \
             "install these yourself: ${missing[*]}" >&2
        exit 1
    fi
    as_root=(sudo -n)
fi
if [[ " ${missing[*]} " == *":i386 "* ]] &&
        ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
fi
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
    "${missing[@]}"
