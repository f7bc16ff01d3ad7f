#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing,
# after one apt-get update. "test" and "package" add what the tests and the
# package need.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libsqlite3-dev libgtest-dev
          libgsf-1-dev zlib1g-dev fonts-wqy-microhei qt6-translations-l10n ccache)
# The user guide: rendered by pandoc, its pictures taken under Xvfb.
packages+=(pandoc xvfb)
# "package" adds what building and checking the .deb needs.
if [ "${1:-}" = package ]; then
    packages+=(dpkg-dev file lintian desktop-file-utils libxml2-utils man-db python3-xlrd)
fi
if [ "${1:-}" = test ]; then
    packages+=(python3-xlrd python3-xlwt python3-openpyxl libxlsxwriter-dev
               libreoffice-calc-nogui locales libexpat1-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
