#!/usr/bin/env bash
# Puts the BMS at bus address 4 in FOLDER/SettingsGeneral.ini (the program's default file when
# there is none yet): the BMS's default address equals the inverter's, and the stand-ins of the
# demo answer at distinct addresses.
set -euo pipefail
folder=$1
file="$folder/SettingsGeneral.ini"
[ -f "$file" ] || cp "$(dirname "$0")/../tests/files/golden/SettingsGeneral_default.ini" "$file"
awk 'BEGIN { ORS = "" }
     { line = $0 "\n" }
     /^BMS_Settings\r?$/ { bms = 1 }
     bms && /^Address / { sub(/=[0-9]+/, "=4", line); bms = 0 }
     { print line }' "$file" > "$file.tmp"
mv "$file.tmp" "$file"
