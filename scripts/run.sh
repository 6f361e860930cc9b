#!/usr/bin/env bash
# Sets up, builds and starts Vantrel from the build tree.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh" "$top/build" -DVANTREL_TESTS=OFF -DVANTREL_BENCH=OFF
cd "$top/app"   # the window icon "icon.ico" is read from the working directory
exec "$top/build/bin/Vantrel" "$@"
