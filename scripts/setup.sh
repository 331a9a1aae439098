#!/usr/bin/env bash
# Installs what the build and the tests need, when something is missing.
set -euo pipefail
"$(dirname "$0")"/install-missing.sh build-essential cmake libgtest-dev libgmock-dev zip unzip zlib1g-dev
