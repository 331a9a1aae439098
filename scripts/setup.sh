#!/usr/bin/env bash
# Installs what the build and the tests need, when something is missing.
set -euo pipefail
packages=(build-essential cmake libgtest-dev libgmock-dev zip unzip zlib1g-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ] || [ "${ARCHIVER_FORCE_INSTALL:-}" = 1 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y "${packages[@]}"
fi
