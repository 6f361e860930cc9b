#!/usr/bin/env bash
# Sets up, builds and starts Vantrel from the build tree (the simulated
# converter and boot ROM are built beside it, for trying it without hardware).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
cmake -S "$top" -B "$top/build" -G Ninja -DVANTREL_BENCH=OFF >/dev/null
cmake --build "$top/build" -j"$(nproc)" --target Vantrel converter-sim lpc-sim classic-sim Quasmerite QuasmeriteExtFlash
# Vantrel reads the window icon "icon.ico" from its working folder and saves
# logs there: a folder of the build tree, not the sources.
run="$top/build/run"
mkdir -p "$run"
cp "$top/app/icon.ico" "$run/icon.ico"
cd "$run"
exec "$top/build/bin/Vantrel" "$@"
