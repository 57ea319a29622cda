# Shared by scripts/run, scripts/test and scripts/bench: installing what the
# build needs and building. Source it; do not run it.

TARNDECK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian packages the build needs (and a font, which the widgets' tests and
# the simulator's view draw text with). The X11 ones: the panel asks the X
# server for detectable auto-repeat; the tests of held keys (tests/x11) and
# those that run the built program as a process (tests/process) start a
# private Xvfb server and press keys through XTest (tests/process fails
# without it rather than skip). SDL2: gamepad and joystick input. Remote
# control speaks OSC with liblo and serves WebSocket clients with Qt WebSockets.
TARNDECK_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qtbase5-dev qtbase5-dev-tools
    libqt5serialport5-dev fonts-dejavu-core libqt5x11extras5-dev libx11-dev libxtst-dev xvfb
    libsdl2-dev liblo-dev libqt5websockets5-dev)

# Building against Qt 6 instead (scripts/test --qt6) needs these besides:
# Qt Core5Compat holds the SAX reader the encoder's replies are read with.
TARNDECK_QT6_PACKAGES=(qt6-base-dev qt6-serialport-dev qt6-websockets-dev qt6-5compat-dev)

# What building and checking the Debian package needs besides (CPack's
# dependency computation runs dpkg-shlibdeps).
TARNDECK_PACKAGE_PACKAGES=(dpkg-dev file desktop-file-utils appstream)

say() { printf '%s\n' "$*" >&2; }

# ensure_packages PKG...: installs the packages that are missing, with apt-get
# as root or through sudo; stops with a clear message when neither works.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo=(sudo)
        else
            say "tarnDeck needs these Debian packages: ${missing[*]}"
            say "Install them as root: apt-get install --no-install-recommends ${missing[*]}"
            exit 1
        fi
    fi
    say "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build DIR [cmake options...]: configures and builds the tree into DIR.
build() {
    local dir="$1"
    shift
    cmake -S "$TARNDECK_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}

# with_display CMD...: runs the command on the current display, or on a
# private Xvfb display when there is none.
with_display() {
    if [ -n "${DISPLAY:-}" ]; then
        "$@"
        return
    fi
    ensure_packages xvfb xauth
    local display=99
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 2560x1080x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    local xvfb=$!
    local i
    for i in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
    local status=0
    DISPLAY=":$display" "$@" || status=$?
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    return $status
}

# validate_packaging: checks the desktop entry and the AppStream metainfo.
validate_packaging() {
    local packaging="$TARNDECK_ROOT/packaging"
    desktop-file-validate "$packaging/com.veltrane.tarndeck.desktop"
    appstreamcli validate --no-net --pedantic "$packaging/com.veltrane.tarndeck.metainfo.xml" >/dev/null
}
