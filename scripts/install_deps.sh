#!/bin/bash
# Installs, on Debian or Ubuntu, every package the build and the tests need:
# as root with apt-get, otherwise through sudo (as on GitHub's runners).
# Does nothing when they are all there already. Where the kernel cannot run
# 32-bit programs, it also installs qemu-user 10 or later (on Debian 12 from
# bookworm-backports, that one package), which 32-bit Wine then runs through.
# Everything it says goes to standard error: a command's output stays its own.
#
#   scripts/install_deps.sh            everything the tests need
#   scripts/install_deps.sh --build    only what the release build needs
set -euo pipefail
exec >&2

packages=(cmake ninja-build python3 python3-markdown g++-mingw-w64-i686
          g++-mingw-w64-x86-64 binutils-mingw-w64-i686)
if [ "${1:-}" != "--build" ]; then
    packages+=(g++ googletest libgtest-dev libbenchmark-dev
               clang libclang-rt-dev clang-tidy cppcheck
               wine wine32:i386 wine64 xvfb tmux xauth python3-jsonschema python3-yaml)
    # The workflow validator comes from npm; Node.js may come from elsewhere.
    command -v npm >/dev/null || packages+=(npm)
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null || ! sudo -n true 2>/dev/null; then
        as_root=(false)
    else
        as_root=(sudo -n)
    fi
fi

# apt's own output goes to a log, shown only when the install fails.
log="$(cd "$(dirname "$0")/.." && pwd)/build/install-deps.log"

# apt_install WHY PACKAGE...: installs them (with the options in
# apt_options), or says what to install.
apt_options=()
apt_get() { "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q "$@"; }
apt_install() {
    local why=$1 updated=yes
    shift
    if [ "${as_root[*]}" = false ]; then
        echo "install_deps: installing packages needs root, or sudo without a password;" \
             "install these yourself: $*"
        exit 1
    fi
    mkdir -p "$(dirname "$log")"
    echo "install_deps: installing $why: $* (apt's output: $log)"
    if ! apt_get update > "$log" 2>&1; then
        sleep 5
        apt_get update > "$log" 2>&1 || updated=no
    fi
    apt_get install -y "${apt_options[@]}" "$@" >> "$log" 2>&1 && return
    # A mirror caught in mid-sync fails an index now and then ("File has
    # unexpected size"), and one architecture's packages then lag behind the
    # other's. On Debian, try once more from the main archive alone.
    if [ "$updated" = no ] && [ "$(. /etc/os-release && echo "$ID")" = debian ]; then
        echo "install_deps: an index failed to download; trying Debian's main archive alone"
        local dir codename suites
        dir=$(dirname "$log")/apt-main
        codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
        suites="$codename $codename-updates"
        [[ " ${apt_options[*]} " != *" $codename-backports "* ]] || suites+=" $codename-backports"
        mkdir -p "$dir/lists/partial"
        printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' "Suites: $suites" \
            'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' \
            > "$dir/main.sources"
        local only_main=(-o "Dir::Etc::sourcelist=$dir/main.sources" -o Dir::Etc::sourceparts=-
                         -o "Dir::State::Lists=$dir/lists")
        apt_get "${only_main[@]}" update >> "$log" 2>&1 &&
            apt_get "${only_main[@]}" install -y "${apt_options[@]}" "$@" >> "$log" 2>&1 &&
            return
    fi
    tail -n 30 "$log"
    echo "install_deps: installing failed: $*"
    exit 1
}

missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [[ " ${missing[*]} " == *":i386 "* ]] &&
            ! dpkg --print-foreign-architectures | grep -qx i386; then
        [ "${as_root[*]}" = false ] || "${as_root[@]}" dpkg --add-architecture i386
    fi
    apt_install "what the cross builds, Wine and the tests need" "${missing[@]}"
fi

# 32-bit Wine where the kernel refuses 32-bit programs ("Exec format error",
# exit code 126): qemu-user 7.2 takes a minute to start each Wine program,
# 10.0 half a second. Machines that run 32-bit programs need nothing more.
[ "${1:-}" != "--build" ] || exit 0
rc=0
/usr/lib/wine/wine --version >/dev/null 2>&1 || rc=$?
[ $rc -eq 126 ] || exit 0
qemu=$( (qemu-i386 --version 2>/dev/null || true) | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p')
[ "${qemu:-0}" -lt 10 ] || exit 0
apt_options=(--no-install-recommends)
if [ "$(. /etc/os-release && echo "${VERSION_CODENAME:-}")" = bookworm ]; then
    # Backports are never installed unless asked for: only qemu-user comes
    # from there.
    if ! grep -rqs '^[^#]*bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d; then
        [ "${as_root[*]}" = false ] || printf '%s\n' 'Types: deb' \
            'URIs: http://deb.debian.org/debian' 'Suites: bookworm-backports' \
            'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
            "${as_root[@]}" tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null
    fi
    apt_options+=(-t bookworm-backports)
fi
apt_install "qemu-user 10, as this kernel runs no 32-bit programs and 32-bit Wine runs through qemu-i386" qemu-user
