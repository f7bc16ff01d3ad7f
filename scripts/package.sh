#!/usr/bin/env bash
# Builds what the package installs and the Debian package from it:
# build/tabrovin_<version>_amd64.deb. scripts/check-package.sh checks it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh package
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tabrovin_installed
rm -f build/tabrovin_*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/tabrovin_*.deb
