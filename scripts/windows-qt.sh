#!/usr/bin/env bash
# Cross-builds Qt 6.4.2 (Debian's own sources) for x86_64 Windows with the MinGW-w64 compiler,
# into a folder outside the clone that later runs reuse: Core, Gui, Widgets, Network and Test, with
# the windows and offscreen platform plugins. Debian's host Qt tools (moc, rcc, uic) of the same
# version do the build-time work. Takes about 40 minutes on 2 cores, once per machine.
#
#   scripts/windows-qt.sh [PREFIX]
#
# Prints the folder Qt is in on its last line. Without PREFIX the folder is under
# /var/cache/kestrel, named by the Qt version, the compiler version and a digest of this script,
# so that a change of compiler or of the options below builds afresh.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
qt_version=6.4.2

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
need=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix qt6-base-dev-tools qt6-base-dev cmake ninja-build dpkg-dev
    tcl8.6)
missing=()
update=0
for p in "${need[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ! -f /etc/apt/sources.list.d/kestrel-src.sources ]; then
    # Debian's source packages, for the suite the machine already uses.
    $sudo tee /etc/apt/sources.list.d/kestrel-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    update=1
fi
if [ ${#missing[@]} -gt 0 ] || [ "$update" = 1 ]; then
    $sudo apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The modules and plugins the console links (SQL with its bundled SQLite driver, for the bench
# records), and the JPEG and GIF readers for its pictures. Two that
# it does not use stay on, since Qt 6.4.2 fails to build without them: Direct2D (the windows
# platform plugin's DirectWrite font database is built only with it) and TLS (the Schannel plugin
# is built whatever the ssl feature says).
options=(-DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=ON
    -DFEATURE_sql=ON -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
    -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF -DFEATURE_opengl=ON
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
    -DFEATURE_sql_sqlite=ON -DFEATURE_system_sqlite=OFF -DFEATURE_sql_odbc=OFF
    -DFEATURE_sql_psql=OFF -DFEATURE_sql_mysql=OFF -DFEATURE_sql_ibase=OFF -DFEATURE_sql_oci=OFF
    -DFEATURE_sql_db2=OFF -DFEATURE_testlib=ON -DFEATURE_network=ON -DFEATURE_widgets=ON
    -DFEATURE_direct2d=ON -DFEATURE_ssl=ON -DFEATURE_jpeg=ON -DFEATURE_gif=ON)
compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
digest=$( (echo "${options[*]}"; cat "$here/mingw-toolchain.cmake") | sha256sum | cut -c1-8)
prefix="${1:-${KESTREL_WINDOWS_QT:-/var/cache/kestrel/qt-$qt_version-mingw-gcc$compiler-$digest}}"
[ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ] && { echo "$prefix"; exit 0; }
work="$prefix.build"
$sudo install -d -o "$(id -u)" "$work" "$prefix"
cd "$work"
if [ ! -d src ]; then
    rm -rf fetch && mkdir fetch && (cd fetch && apt-get source --download-only qt6-base=6.4.2+dfsg-10 \
        && dpkg-source -x --skip-patches qt6-base_*.dsc ../src)
fi
# Debian's Qt sources come without the SQLite that Qt's SQLite driver bundles: the one file it
# compiles (the amalgamation) is made from Debian's own SQLite sources.
if [ ! -f src/src/3rdparty/sqlite/sqlite3.c ]; then
    rm -rf sqlite && mkdir sqlite && (cd sqlite && apt-get source --download-only sqlite3=3.40.1-2+deb12u2 \
        && dpkg-source -x --skip-patches sqlite3_*.dsc tree \
        && cd tree && ./configure --disable-tcl >/dev/null && make sqlite3.c >/dev/null)
    mkdir -p src/src/3rdparty/sqlite
    cp sqlite/tree/sqlite3.c sqlite/tree/sqlite3.h src/src/3rdparty/sqlite/
    rm -rf sqlite
fi

cp "$here/mingw-toolchain.cmake" toolchain.cmake
mkdir -p build
started=$(date +%s)
cmake -S src -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    "${options[@]}" >configure.log || { tail -40 configure.log; exit 1; }

cmake --build build --parallel "$(nproc)" >build.log || { tail -60 build.log; exit 1; }
cmake --install build >install.log
echo "Qt for Windows built in $(( ($(date +%s) - started) / 60 )) min" >&2
echo "$prefix"
