#!/usr/bin/env bash
# Installs what is missing (Debian packages, only when missing), builds, then starts the console
# (`run`) or runs every test (`test`); `install [PACKAGE...]` installs what the build and the tests
# need, and any further packages named; `windows` builds the console for Windows and runs its
# tests under Wine. Works as root or as a user with sudo.
set -euo pipefail
cd "$(dirname "$0")/.."

# Qt's SQLite driver keeps the bench records; its PostgreSQL driver pushes them to a shop's server.
packages=(g++ cmake make pkg-config qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite libqt6sql6-psql libgl-dev
    fonts-liberation)
# The desktop tests: the real executable under Xvfb, with the accessibility bus; Wireshark's
# command-line tools read the captures back; a PostgreSQL server of the tests' own takes the pushed
# bench records.
test_packages=(xvfb xdotool dbus-daemon dbus-bin at-spi2-core python3 python3-pyatspi python3-xlib tshark postgresql)

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
package)
    # A Debian package of the console, checked on a clean Debian 12 with KESTREL_CHECK_PACKAGE=1.
    install_missing dpkg-dev
    build
    (cd build && cpack -G DEB)
    if [ "${KESTREL_CHECK_PACKAGE:-0}" = 1 ]; then
        scripts/test-deb.sh build/kestrel_"$(sed -nE 's/^project\(Kestrel VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)"_amd64.deb
    fi
    ;;
windows)
    # Qt for Windows is built once from Debian's own sources, into a folder outside the clone.
    install_missing "${test_packages[@]}" g++-mingw-w64-x86-64-posix wine64 nsis ninja-build socat
    qt=$(scripts/windows-qt.sh | tail -1)
    cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/scripts/mingw-toolchain.cmake" -DCMAKE_PREFIX_PATH="$qt" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        "-DCMAKE_CROSSCOMPILING_EMULATOR=$PWD/scripts/wine-run.sh;--qt;$qt"
    cmake --build build-windows --parallel "$(nproc)"
    # The prefix is made (wineboot) by the first program run in it: that is this one, alone, so that
    # the tests run side by side below do not each start making it, and before the COM links below
    # go into it. The console also shows here that it starts on Windows at all.
    prefix="${KESTREL_WINEPREFIX:-/opt/kestrel/wine}"
    KESTREL_WINEPREFIX="$prefix" scripts/wine-run.sh --qt "$qt" build-windows/kestrel.exe --version
    # A null-modem pair for the Win32 port: two pseudo-terminals joined by socat, behind COM5
    # and COM6 of the Wine prefix.
    pair=$(mktemp -d)
    socat "pty,link=$pair/com5,raw,echo=0" "pty,link=$pair/com6,raw,echo=0" &
    socat_pid=$!
    trap 'kill "$socat_pid" 2>/dev/null; rm -rf "$pair"' EXIT
    for _ in $(seq 50); do [ -e "$pair/com6" ] && break; sleep 0.1; done
    ln -sfn "$pair/com5" "$prefix/dosdevices/com5"
    ln -sfn "$pair/com6" "$prefix/dosdevices/com6"
    KESTREL_TEST_COM_PAIR=COM5,COM6 QT_QPA_PLATFORM=offscreen \
        ctest --test-dir build-windows --output-on-failure --parallel "$(nproc)"
    (cd build-windows && cpack)
    # The installer installs silently, starts, and uninstalls leaving only the user's log.
    scripts/test-installer.sh build-windows/kestrel-*-win64.exe
    ;;
test)
    install_missing "${test_packages[@]}"
    build
    QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" ctest --test-dir build --output-on-failure \
        --parallel "$(nproc)"
    ;;
*)
    echo "usage: $0 run [console options] | test | package | windows | install [package...]" >&2
    exit 2
    ;;
esac
