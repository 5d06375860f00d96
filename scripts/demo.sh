#!/usr/bin/env bash
# Builds the monitor and the device stand-ins, starts the stand-ins on a pseudo-terminal and
# then the monitor.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
echo "The monitor and the stand-ins are not built yet: only the core library and its tests exist."
