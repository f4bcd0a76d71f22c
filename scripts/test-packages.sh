#!/usr/bin/env bash
# Builds both packages and tests them as a user meets them: the Debian package
# installed with apt-get, run by an ordinary user and removed; the Windows
# installer run silently under wine64, the installed program run, and removed.
# Needs root (apt-get, a test user, network namespaces); the Windows part needs
# the Wine prefix that scripts/test-windows.sh prepares.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
if [ "$(id -u)" -ne 0 ]; then
    echo "package tests skipped: they install packages and add a user, so they need root"
    python3 scripts/ledger.py record packages skipped "not run as root"
    exit 0
fi
# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $DISPLAY_PACKAGES $PACKAGING_PACKAGES iproute2 util-linux

cmake --preset release >/dev/null
cmake --build --preset release --parallel "$(nproc)"
rm -f build-release/*.deb
(cd build-release && cpack -G DEB >/dev/null)
bash tests/packaging/debian_package.sh build-release/vexormoralto_*_amd64.deb build-release/package-test

if [ -z "${VEXOR_SKIP_WINDOWS:-}" ]; then
    # shellcheck disable=SC2086
    ensure_packages $WINDOWS_PACKAGES
    [ -f build-windows/wine-prefix/system.reg ] || bash scripts/test-windows.sh
    rm -f build-windows/*.exe
    (cd build-windows && cpack -G NSIS >/dev/null)
    bash tests/packaging/windows_installer.sh build-windows/vexormoralto-*-win64.exe \
        build-windows/wine-prefix build-windows/installer-test
fi
if [ -z "${VEXOR_SKIP_WINDOWS:-}" ]; then
    python3 scripts/ledger.py record packages ran "Debian package and Windows installer installed, run and removed"
else
    python3 scripts/ledger.py record packages ran "Debian package installed, run and removed (Windows installer excluded)"
fi
