#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# Debian installs the MQTT broker in /usr/sbin, which a plain user's PATH lacks.
export PATH="$PATH:/usr/sbin"
"$here/scripts/setup.sh" --werror
cd "$here/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 -LE long
