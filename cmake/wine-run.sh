#!/usr/bin/env bash
# Runs a cross-built Windows program under wine64, quietly, in the prefix that
# WINEPREFIX names (scripts/test-windows.sh prepares one).
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
exec /usr/lib/wine/wine64 "$@"
