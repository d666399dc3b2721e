#!/usr/bin/env bash
# Installs the console's Debian package on a clean Debian 12 (a minimal system made with
# debootstrap in a folder outside the clone, kept for later runs), starts it there offscreen with
# --version, then removes it again.
#   scripts/test-deb.sh PACKAGE.deb
set -euo pipefail
deb=$(readlink -f "${1:?the .deb to install}")
root="${KESTREL_DEBIAN_ROOT:-/opt/kestrel/debian12}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if [ ! -x "$root/usr/bin/apt-get" ]; then
    dpkg-query -W -f='${Status}' debootstrap 2>/dev/null | grep -q 'install ok installed' \
        || DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends debootstrap
    $sudo debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
fi
in_root() { $sudo chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
$sudo mount -t proc proc "$root/proc" 2>/dev/null || true
trap '$sudo umount "$root/proc" 2>/dev/null || true' EXIT
$sudo cp "$deb" "$root/tmp/kestrel.deb"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends /tmp/kestrel.deb
version=$(in_root env QT_QPA_PLATFORM=offscreen kestrel --version)
echo "installed and started: $version"
test -f "$root/usr/share/applications/kestrel.desktop"
test -f "$root/usr/share/icons/hicolor/48x48/apps/kestrel.png"
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq kestrel
in_root env DEBIAN_FRONTEND=noninteractive apt-get autoremove -y -qq
test ! -e "$root/usr/bin/kestrel"
[[ "$version" == *"3.0.1"* ]]
