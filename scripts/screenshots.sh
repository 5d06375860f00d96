#!/usr/bin/env bash
# Renders every window offscreen to PNG files under build/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target veltrona-screenshots
scripts/demo-settings.sh build
QT_QPA_PLATFORM=offscreen build/veltrona-screenshots "$(pwd)/build/screenshots"
