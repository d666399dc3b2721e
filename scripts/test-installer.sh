#!/usr/bin/env bash
# Installs the console's Windows installer silently under Wine, checks what it put in place (the
# program, the Qt DLLs and plugins, the Start-menu shortcut), starts the installed program, then
# uninstalls it and checks that nothing but the user's log.txt is left.
#   scripts/test-installer.sh kestrel-VERSION-win64.exe
set -euo pipefail
installer=$(readlink -f "${1:?the installer}")
export WINEPREFIX="${KESTREL_WINEPREFIX:-/opt/kestrel/wine}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEDEBUG="${WINEDEBUG:--all}"
wine=/usr/lib/wine/wine64
target='C:\kestrel-installer-test'
dir="$WINEPREFIX/drive_c/kestrel-installer-test"
rm -rf "$dir"

# The installer, like the program, is a 64-bit Windows program.
"$wine" "$installer" /S "/D=$target"
/usr/lib/wine/wineserver -w
for file in bin/kestrel.exe bin/Qt6Core.dll bin/Qt6Widgets.dll bin/platforms/qwindows.dll \
            bin/styles/qwindowsvistastyle.dll bin/libstdc++-6.dll Uninstall.exe; do
    test -f "$dir/$file" || { echo "not installed: $file"; exit 1; }
done
shortcut=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -iname 'Kestrel.lnk' | head -1)
test -n "$shortcut" || { echo "no Start-menu shortcut"; exit 1; }
echo "installed: $(find "$dir" -type f | wc -l) files, shortcut $(basename "$(dirname "$shortcut")")/$(basename "$shortcut")"

# The installed program starts on its own DLLs (no path to the build's Qt): it tells its version,
# and it runs offscreen with its platform plugin.
version=$(WINEPATH= /usr/lib/wine/wine64 "$dir/bin/kestrel.exe" --version | tr -d '\r')
case "$version" in
"Kestrel "[0-9]*.[0-9]*.[0-9]*) echo "the installed program says: $version" ;;
*) echo "the installed program gave no version: '$version'"; exit 1 ;;
esac
set +e
WINEPATH= timeout 6 /usr/lib/wine/wine64 "$dir/bin/kestrel.exe" --com1 virtual
status=$?
set -e
[ "$status" -eq 124 ] || { echo "the installed program ended at once ($status)"; exit 1; }
echo "the installed program started and ran"

# The user's log stays when the program goes.
echo "12-09-202614:00:0008 50 06" > "$dir/bin/log.txt"
"$wine" "$dir/Uninstall.exe" /S
/usr/lib/wine/wineserver -w
sleep 2
left=$(cd "$dir" 2>/dev/null && find . -type f | sort)
[ "$left" = "./bin/log.txt" ] || { echo "left after uninstalling: ${left:-nothing}"; exit 1; }
shortcut=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -iname 'Kestrel.lnk' | head -1)
[ -z "$shortcut" ] || { echo "the shortcut is still there"; exit 1; }
echo "uninstalled: only log.txt is left"
rm -rf "$dir"
