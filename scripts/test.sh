#!/usr/bin/env bash
# Sets up, builds and runs every test twice: a plain build and one with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
export QT_QPA_PLATFORM=offscreen
status=0
for variant in plain sanitize; do
  dir="$top/build-test-$variant"
  opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
  [ "$variant" = sanitize ] && opts+=(-DVANTREL_SANITIZE=ON -DVANTREL_BENCH=OFF)
  echo "=== $variant build"
  "$top/scripts/build.sh" "$dir" "${opts[@]}"
  echo "=== $variant tests"
  (cd "$dir" && ctest --output-on-failure -j"$(nproc)" --timeout 300) || status=1
done
exit $status
