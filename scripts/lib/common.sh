# Shared by the scripts: the project root and installing missing Debian packages.
# shellcheck shell=bash

VANTIRO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export VANTIRO_ROOT

# What building Vantiro needs on Debian 12, with the renderer of the icon's PNG sizes.
VANTIRO_BUILD_PACKAGES=(g++ cmake ninja-build qt6-base-dev qt6-serialport-dev dbus-daemon librsvg2-bin)
# What the tests need besides: real peers they run on loopback, the desktop's validator of menu entries, and
# an X server with its tools to look at a real window, and an iCalendar parser to read exported calendars back.
VANTIRO_TEST_PACKAGES=(ser2net desktop-file-utils xvfb x11-utils python3-icalendar python3-dateutil)
# The second compiler the project builds with.
VANTIRO_CLANG_PACKAGES=(clang-14)
# What making and checking the Debian package needs besides: its run-time dependencies and Debian's checks.
VANTIRO_PACKAGE_PACKAGES=(dpkg-dev file lintian)

# Installs the named packages that are not installed yet; refreshes the package lists only when
# something is missing.
ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Installing ${missing[*]} needs root or sudo." >&2; return 1; }
        sudo=(sudo)
    fi
    echo "Installing ${missing[*]} ..."
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# configure_and_build <build folder> <cmake arguments...>
configure_and_build() {
    local dir=$1
    shift
    cmake -S "$VANTIRO_ROOT" -B "$dir" -G Ninja "$@"
    cmake --build "$dir" --parallel "$(nproc)"
}
