// The fleet page at scale: 50 stations of 247 KPV devices (fleet_gen, real
// MqttPublishers) on a mosquitto started from the example configuration, the
// page in headless Chromium. Prints how long the first full view takes after
// connecting (stations' status and alarms first, then every device
// counted), how long until every retained reading is in, the longest frame
// gap while it loads, and the longest gap while live readings arrive, with
// one station's cards open.
//
//   node bench/web/fleet_bench.mjs [stations] [devices] [readings a second]
//
// Run from the source tree after a build in build/ (the paths below can be
// set in the environment instead).
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = join(dirname(fileURLToPath(import.meta.url)), '..', '..');
const defaults = {
  SPDMON_WEB: join(root, 'build', 'web', 'page'),
  SPDMON_NODE_MODULES: join(root, 'web', 'node_modules'),
  SPDMON_CHROMIUM: '/usr/bin/chromium',
  SPDMON_EXAMPLES: join(root, 'packaging', 'examples'),
  FLEET_GEN: join(root, 'build', 'tests', 'web', 'fleet_gen'),
};
for (const [name, value] of Object.entries(defaults))
  process.env[name] ||= value;
process.env.PATH += ':/usr/sbin';
const { Broker, launchBrowser, logIn, requireBrowser, startFleet } = await import('../../tests/web/harness.mjs');

const [stations = 50, devices = 247, rate = 1000] = process.argv.slice(2).map(Number);
const alarmEvery = 20;
const alarms = Math.floor(devices / alarmEvery);
const lost = Math.floor((devices - 1) / alarmEvery);
const wanted = [`设备正常 ${devices - alarms - lost}`, `设备报警 ${alarms}`, `通信异常 ${lost}`, `未确认告警 ${alarms + lost}`];

const puppeteer = requireBrowser();
const names = Array.from({ length: stations }, (_, i) => `room-${i + 1}`);
const broker = await Broker.create(names, 'bench');
let fleet, browser;
try {
  fleet = await startFleet(broker, ['--stations', String(stations), '--devices', String(devices), '--rate', String(rate)]);
  console.log(fleet.ready.trim());
  browser = await launchBrowser(puppeteer);
  const page = await browser.newPage();
  // When the page's websocket brought the last retained message: the broker
  // sends one MQTT packet a message, a retained PUBLISH has bits 0x31 set.
  await page.evaluateOnNewDocument((wanted) => {
    let retained = 0;
    const Native = window.WebSocket;
    window.WebSocket = function (...args) {
      const socket = new Native(...args);
      socket.addEventListener('message', (e) => {
        if ((new Uint8Array(e.data, 0, 1)[0] & 0xf1) === 0x31 && ++retained === wanted)
          window.benchAllIn = performance.now();
      });
      return socket;
    };
    window.WebSocket.prototype = Native.prototype;
  }, stations * (3 + devices * 3)); // per station its status, summary, alarm list and readings
  await page.goto(broker.pageUrl);
  // Timed in the page, at the frame that shows it (no round trip to this
  // process in the figures): from the connect button to the first frame
  // whose tiles say what is wanted, and when each websocket message came.
  // The longest pause between two frames: how long the page stood frozen.
  await page.evaluate((count, statusTexts, allTexts) => {
    const shows = (texts) => {
      const tiles = document.querySelectorAll('#tiles .tile');
      return tiles.length === count && Array.from(tiles).every((t) => texts.every((w) => t.textContent.includes(w)));
    };
    document.getElementById('login').addEventListener('submit', () => { window.benchStart = performance.now(); });
    window.benchGap = 0;
    let last = performance.now();
    const frame = (t) => {
      window.benchGap = Math.max(window.benchGap, t - last);
      last = t;
      if (window.benchStart !== undefined) {
        window.benchStatus ??= shows(statusTexts) ? t - window.benchStart : undefined;
        window.benchCounted ??= shows(allTexts) ? t - window.benchStart : undefined;
      }
      requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
  }, stations, ['在线', wanted[3]], wanted);
  await logIn(page, 'control-room', 'bench');
  await page.waitForFunction(() => window.benchCounted !== undefined, { timeout: 60000, polling: 50 });
  const statusView = (await page.evaluate(() => window.benchStatus)).toFixed(0);
  const firstView = (await page.evaluate(() => window.benchCounted)).toFixed(0);
  await page.waitForFunction(() => window.benchAllIn !== undefined, { timeout: 120000, polling: 50 });
  const allIn = (await page.evaluate(() => window.benchAllIn - window.benchStart)).toFixed(0);
  const loadGap = await page.evaluate(() => window.benchGap);
  console.log(`${stations} stations x ${devices} devices (${stations * devices * 3} node topics): every tile's ` +
    `status and unacknowledged alarms ${statusView} ms after connecting, every device counted ${firstView} ms, ` +
    `every retained reading in ${allIn} ms; longest frame gap while loading ${loadGap.toFixed(0)} ms`);

  await page.evaluate((n) => {
    // Before the tile's own handler, which builds the cards at once.
    document.getElementById('tiles').addEventListener('click', () => {
      const opened = performance.now();
      const frame = () => {
        if (document.querySelectorAll('#cards .card').length === n)
          window.benchOpen = performance.now() - opened;
        else
          requestAnimationFrame(frame);
      };
      requestAnimationFrame(frame);
    }, { capture: true });
  }, devices);
  await page.click('#tiles .tile[data-station="room-1"]');
  await page.waitForFunction(() => window.benchOpen !== undefined, { timeout: 60000, polling: 50 });
  const openMs = (await page.evaluate(() => window.benchOpen)).toFixed(0);
  await page.evaluate(() => { window.benchGap = 0; });
  await new Promise((resolve) => setTimeout(resolve, 10000));
  const liveGap = await page.evaluate(() => window.benchGap);
  console.log(`one station's ${devices} cards shown in ${openMs} ms; ` +
    `longest frame gap over 10 s of ${rate} readings a second: ${liveGap.toFixed(0)} ms`);
} finally {
  await browser?.close();
  fleet?.kill('SIGKILL');
  await broker.close();
}
