#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$here/scripts/setup.sh" --werror
cd "$here/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
