#!/usr/bin/env bash
# Runs a Windows program of the console's build under Wine, with the Qt DLLs and the MinGW runtime
# on its path and Qt's plugins found, in the console's own Wine prefix. ctest runs every test of a
# Windows build through this (CMAKE_CROSSCOMPILING_EMULATOR).
#   scripts/wine-run.sh [--qt QT_FOLDER] PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
qt="${KESTREL_WINDOWS_QT:-}"
if [ "${1:-}" = --qt ]; then
    qt=$2
    shift 2
fi
[ -n "$qt" ] || { echo "wine-run.sh: which Qt for Windows? (--qt or KESTREL_WINDOWS_QT)" >&2; exit 2; }
export WINEPREFIX="${KESTREL_WINEPREFIX:-/opt/kestrel/wine}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEDEBUG="${WINEDEBUG:--all}"
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
# A Unix path as the program sees it: the prefix's drive Z is the Unix root. (Wine's own winepath
# starts a Wine program for each path, and under load it now and then answered nothing.)
winpath() {
    local path
    path=$(readlink -f "$1")
    printf 'Z:%s' "${path//\//\\}"
}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    # A new prefix: made once, without the .NET and HTML runtimes it would otherwise fetch. Wine
    # makes drive C only in a dosdevices folder it makes itself, so nothing may be put in the
    # prefix before this; a prefix without drive C is a failure, not a program run.
    mkdir -p "$(dirname "$WINEPREFIX")"
    /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
    [ -d "$WINEPREFIX/drive_c" ] || { echo "wine-run.sh: Wine did not make the prefix $WINEPREFIX" >&2; exit 1; }
    # Wine goes on setting up the new prefix after wineboot returns; the program starts once that
    # is done, so that it does not share the two cores with it.
    /usr/lib/wine/wineserver -w
fi
[ "$(readlink "$WINEPREFIX/dosdevices/z:")" = / ] || { echo "wine-run.sh: drive Z of $WINEPREFIX is not /" >&2; exit 1; }
export WINEPATH="$(winpath "$qt/bin");$(winpath "$runtime");$(winpath /usr/x86_64-w64-mingw32/lib)"
# Wine hands a Windows program no QT_ variable of the Unix environment: Qt's plugins, its fonts
# and its platform (offscreen; a run on the desktop passes "-platform windows" to the program) are
# set in the prefix's own environment.
# The offscreen platform draws with the same Liberation fonts as the Linux tests.
set_environment() {
    if ! /usr/lib/wine/wine64 reg query 'HKCU\Environment' /v "$1" 2>/dev/null | grep -qF "$2"; then
        /usr/lib/wine/wine64 reg add 'HKCU\Environment' /v "$1" /d "$2" /f >/dev/null 2>&1
    fi
}
set_environment QT_PLUGIN_PATH "$(winpath "$qt/plugins")"
set_environment QT_QPA_FONTDIR "$(winpath /usr/share/fonts/truetype/liberation)"
set_environment QT_QPA_PLATFORM offscreen
# A QtTest program under Wine finds no console of its own and would write its report to the
# debugger: it is asked for a file instead, shown when it ends.
case "$(basename "$1")" in
tst_*.exe)
    report=$(mktemp)
    set +e
    /usr/lib/wine/wine64 "$@" -o "$(winpath "$report"),txt"
    status=$?
    set -e
    cat "$report"
    rm -f "$report"
    exit "$status"
    ;;
esac
exec /usr/lib/wine/wine64 "$@"
