#!/usr/bin/env bash
# Installs those of the given Debian packages that are missing, with apt-get,
# as root or through sudo:
#   scripts/install-missing.sh [--no-install-recommends] package...
# ARCHIVER_FORCE_INSTALL=1 installs them all again.
set -euo pipefail
options=()
if [ "${1:-}" = --no-install-recommends ]; then options+=("$1"); shift; fi
missing=()
for p in "$@"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ] || [ "${ARCHIVER_FORCE_INSTALL:-}" = 1 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y "${options[@]}" "$@"
fi
