#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program on a demo database
# with the bus simulator standing in for the RS-485 line.
#
#   demo/table.db             the demo database (made once; delete it to start over)
#   demo/sim-commands.txt     append simulator commands here, e.g.
#                               echo "abnormal 2" >> demo/sim-commands.txt
#   demo/kpv-sim.log          what the simulator answered
#   demo/spdmon/mqtt.conf     the demo station's MQTT settings, pointing at a
#                             broker of its own (when mosquitto is installed)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# Debian installs the MQTT broker in /usr/sbin, which a plain user's PATH lacks.
export PATH="$PATH:/usr/sbin"
"$here/scripts/setup.sh"

demo="$here/demo"
port=40
mkdir -p "$demo"
cd "$demo"
# The demo's own configuration folder: its port links and mqtt.conf stay in
# demo/ and the user's real settings are left alone.
export XDG_CONFIG_HOME="$demo"
if [[ ! -f table.db ]]; then
  "$here/build/tools/spdmon-initdb" table.db --admin admin --password admin --demo --com "$port"
fi

: > sim-commands.txt
tail -n0 -F sim-commands.txt 2>/dev/null | "$here/build/tools/kpv-sim/kpv-sim" --com "$port" --db table.db > kpv-sim.log 2>&1 &
sim=$!
xvfb=""
broker=""
app=""
cleanup() {
  [[ -n "$app" ]] && kill "$app" 2>/dev/null || true
  pkill -TERM -P "$$" kpv-sim 2>/dev/null || true
  kill "$sim" 2>/dev/null || true
  [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null || true
  [[ -n "$broker" ]] && kill "$broker" 2>/dev/null || true
}
trap cleanup EXIT
# A terminated script still ends what it started.
trap 'exit 143' TERM

for _ in $(seq 50); do grep -q "open COM$port" kpv-sim.log 2>/dev/null && break; sleep 0.1; done
echo "Bus simulator: $(grep -m1 "open COM" kpv-sim.log || head -n1 kpv-sim.log)"

mqtt_hint=""
if command -v mosquitto >/dev/null; then
  # A local broker on a free port for the station's MQTT messages.
  mqtt_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$mqtt_port" > mosquitto.conf
  mosquitto -c mosquitto.conf > mosquitto.log 2>&1 &
  broker=$!
  mkdir -p spdmon
  printf 'host=127.0.0.1\nport=%s\nstation=demo\n' "$mqtt_port" > spdmon/mqtt.conf
  for _ in $(seq 50); do grep -q " running" mosquitto.log 2>/dev/null && break; sleep 0.1; done
  "$here/build/mqtt/spdmon-mqtt-check" || true
  mqtt_hint="Station messages (MQTT): mosquitto_sub -h 127.0.0.1 -p $mqtt_port -t 'spdmon/#' -v"
fi

if [[ -z "${DISPLAY:-}" ]]; then
  # No desktop: run on a virtual screen, on the first free display number.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 3>xvfb.display >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do [[ -s xvfb.display ]] && break; sleep 0.1; done
  export DISPLAY=":$(cat xvfb.display)"
  echo "No display found: running on Xvfb $DISPLAY; look at it with"
  echo "  DISPLAY=$DISPLAY import -window root shot.png"
fi

cat <<TEXT
Log in as admin / admin. In 串口设置 choose COM$port and press 打开, then press 启动监控.
Make device 2 abnormal:   echo "abnormal 2" >> $demo/sim-commands.txt
Make device 3 silent:     echo "silent 3"   >> $demo/sim-commands.txt
Back to normal:           echo "normal all" >> $demo/sim-commands.txt
$mqtt_hint
TEXT
# In the background, so that a signal to the script reaches the cleanup at once.
"$here/build/app/spdmon" &
app=$!
wait "$app"
