# Debian packages the build, the tests and the program need. Sourced by the
# other scripts; `ensure_packages LIST...` installs whatever is missing.

BUILD_PACKAGES="cmake g++ make pkg-config libgtest-dev qt6-base-dev libsmbclient-dev libxml2-dev libcurl4-openssl-dev libavahi-client-dev"
RUN_PACKAGES="libqt6widgets6 libsmbclient fonts-wine fonts-liberation fontconfig xdg-utils libxml2 libcurl4 libavahi-client3"
DISPLAY_PACKAGES="xvfb xauth icewm imagemagick x11-utils xdotool"
WINDOWS_PACKAGES="cmake make python3 mingw-w64 wine64 xvfb xauth x11-utils fonts-wine locales"
TEST_PACKAGES="iproute2 util-linux samba smbclient winbind libnss-winbind wsdd avahi-daemon avahi-utils dbus nftables python3 minidlna dnsmasq locales"
PACKAGING_PACKAGES="dpkg-dev fakeroot nsis lintian appstream desktop-file-utils"
FUZZ_PACKAGES="cmake make clang libclang-rt-14-dev pkg-config libxml2-dev"
UNICODE_PACKAGES="unicode-data python3"

ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null; then
            sudo="sudo"
        else
            echo "Missing packages (run as root to install them): ${missing[*]}" >&2
            return 1
        fi
    fi
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}
