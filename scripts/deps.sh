#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, only when missing.
set -euo pipefail
need=()
for p in build-essential cmake ninja-build pkg-config qtbase5-dev libqt5serialport5-dev \
         googletest libgtest-dev xvfb xauth; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${need[*]} (run as root to install them)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
