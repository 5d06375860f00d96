#!/usr/bin/env bash
# Builds the monitor and the device stand-ins, starts the stand-ins on a pseudo-terminal that
# the monitor lists as COM7, then the monitor; the stand-ins end when the monitor does.
# In the monitor: choose "COM7 (...)", 115200 and "Открыть порт".
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target veltrona-monitor veltrona-sim

com=${VELTRONA_DEMO_COM:-7}
folder=$(pwd)/build
sim_out=$(mktemp)
scripts/demo-settings.sh "$folder"
build/sim/veltrona-sim --folder "$folder" --com "$com" --bms-address 4 >"$sim_out" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; rm -f "$sim_out"' EXIT

for _ in $(seq 100); do
    [ -s "$sim_out" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { echo "the stand-ins did not start"; exit 1; }
    sleep 0.05
done
echo "Stand-ins on $(head -n 1 "$sim_out") as COM$com. Choose COM$com, 115200 and \"Открыть порт\"."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running the monitor on a virtual X server (xvfb-run), unseen."
    xvfb-run -a -s "-screen 0 1280x1024x24" build/veltrona-monitor
else
    build/veltrona-monitor
fi
