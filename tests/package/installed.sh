#!/usr/bin/env bash
# The Debian package on a real machine: installs DEB with apt, starts the
# installed /usr/bin/tarnDeck on a private Xvfb display, checks that its
# window maps with the program's title and icon and that the menu entry and
# icons are in place, then removes the package again (also on failure).
#   tests/package/installed.sh build/package/tarndeck_1.0_amd64.deb
set -euo pipefail
deb="$(realpath "${1:?usage: installed.sh PACKAGE.deb}")"
title="Veltrane - tarnDeck 1.0 - Not connected"

fail() {
    echo "package test: FAIL: $*" >&2
    exit 1
}

if dpkg-query -W -f='${Status}' tarndeck 2>/dev/null | grep -q 'install ok installed'; then
    echo "package test: SKIPPED: tarndeck is already installed here; not touching it" >&2
    exit 0
fi

work=$(mktemp -d)
xvfb="" app=""
cleanup() {
    set +e
    [ -n "$app" ] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    if dpkg-query -W -f='${Status}' tarndeck 2>/dev/null | grep -q 'install ok installed'; then
        apt-get -o DPkg::Lock::Timeout=300 purge -y -qq tarndeck >/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "$deb" >/dev/null \
    || fail "apt could not install $deb"

for file in /usr/bin/tarnDeck /usr/bin/tarndeck-sim \
    /usr/share/applications/com.veltrane.tarndeck.desktop \
    /usr/share/metainfo/com.veltrane.tarndeck.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/com.veltrane.tarndeck.svg \
    /usr/share/icons/hicolor/48x48/apps/com.veltrane.tarndeck.png; do
    [ -e "$file" ] || fail "$file is not installed"
done

display=120
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
done
export DISPLAY=":$display"
# The real X11 platform, whatever the caller chose for its own tests.
export QT_QPA_PLATFORM=xcb

# A settings store of its own, so the test never reads the user's.
XDG_CONFIG_HOME="$work" HOME="$work" /usr/bin/tarnDeck >"$work/log" 2>&1 &
app=$!
# Waits for the window with that title to be mapped (viewable).
id="" mapped=""
for _ in $(seq 100); do
    id=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$title\"" 'index($0, t) { print $1; exit }')
    [ -n "$id" ] && xwininfo -id "$id" | grep -q 'Map State: IsViewable' && mapped=yes && break
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
[ -n "$id" ] || fail "no window titled '$title' appeared; the program said: $(cat "$work/log")"
[ -n "$mapped" ] || fail "the window titled '$title' never mapped"
icons=$(xprop -id "$id" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | sort -u | tr '\n' ' ')
case "$icons" in
    *"Icon (16 x 16)"*"Icon (32 x 32)"* | *"Icon (32 x 32)"*"Icon (16 x 16)"*) ;;
    *) fail "the window carries no application icon (_NET_WM_ICON: ${icons:-none})" ;;
esac
echo "package test: PASS: installed, window '$title' mapped with icons $icons" >&2
