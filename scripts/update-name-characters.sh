#!/bin/bash
# Writes src/core/discovery/NameCharacters.h again from the Unicode Character
# Database that Debian's unicode-data package installs, naming its version.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages $UNICODE_PACKAGES
database=/usr/share/unicode
version=$(sed -n 's/.*for Version \([0-9.]*[0-9]\) of the Unicode Standard.*/\1/p' "$database/ReadMe.txt" | head -n 1)
[ -n "$version" ] || { echo "no Unicode version in $database/ReadMe.txt" >&2; exit 1; }
python3 tools/name_characters.py "$database/UnicodeData.txt" "$version" src/core/discovery/NameCharacters.h
echo "src/core/discovery/NameCharacters.h: Unicode $version"
