#!/usr/bin/env bash
# Installs what is missing (Debian packages, only when missing), builds, then starts the console
# (`run`) or runs every test (`test`); `install [PACKAGE...]` installs what the build and the tests
# need, and any further packages named. Works as root or as a user with sudo.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake make pkg-config qt6-base-dev qt6-serialport-dev libgl-dev fonts-liberation)
# The desktop tests: the real executable under Xvfb, with the accessibility bus.
test_packages=(xvfb xdotool dbus-daemon dbus-bin at-spi2-core python3 python3-pyatspi python3-xlib)

install_missing() {
    local missing=()
    for p in "${packages[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build build --parallel "$(nproc)"
}

case "${1:-}" in
install)
    shift
    install_missing "${test_packages[@]}" "$@"
    ;;
run)
    shift
    install_missing
    build
    exec build/app/kestrel "$@"
    ;;
test)
    install_missing "${test_packages[@]}"
    build
    QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" ctest --test-dir build --output-on-failure \
        --parallel "$(nproc)"
    ;;
*)
    echo "usage: $0 run [console options] | test | install [package...]" >&2
    exit 2
    ;;
esac
