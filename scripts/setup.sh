#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need (only the
# missing ones), then configures and builds into build/.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libqt6sql6-sqlite qt6-serialport-dev
          libmodbus-dev libbenchmark-dev python3 python3-pymodbus python3-serial-asyncio socat sqlite3
          xvfb fonts-noto-cjk imagemagick xdotool
          libmosquitto-dev mosquitto mosquitto-clients python3-paho-mqtt ca-certificates
          qt6-translations-l10n strace qt6-charts-dev libqt6opengl6-dev
          qt6-multimedia-dev pulseaudio pulseaudio-utils dbus-daemon python3-dbusmock chromium
          mmdebstrap)
# The fleet page's tests drive Chromium from node; a node installed otherwise
# (with its own npm) is used as it is.
command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# The fleet page's node packages (MQTT.js for the page, puppeteer-core for its
# tests) exactly as the lock file says, again only when it changed.
if [[ ! -e "$here/web/node_modules/.package-lock.json" ||
      "$here/web/package-lock.json" -nt "$here/web/node_modules/.package-lock.json" ]]; then
  (cd "$here/web" && npm ci --ignore-scripts --no-audit --no-fund)
fi

# --packages: the packages only (scripts/sanitize.sh builds trees of its own).
[[ "${1:-}" == "--packages" ]] && exit 0

# --werror: warnings fail the build (the test build). Without it the build
# keeps whatever it was configured with, so the demo after the tests does
# not rebuild everything.
options=()
[[ "${1:-}" == "--werror" ]] && options+=(-DSPDMON_WERROR=ON)

cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
cmake --build "$here/build" -j"$(nproc)"
