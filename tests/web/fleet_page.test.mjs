// The fleet page in headless Chromium against the example broker set-up, with
// two stations of two devices each published by real MqttPublishers.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { Broker, freePort, launchBrowser, logIn, requireBrowser, startFleet } from './harness.mjs';

const puppeteer = requireBrowser();
const PASSWORD = 'pw-7d1c';
const XSS = '<img src=x onerror=alert(1)>';
let broker, room1, room2, browser, page;
const dialogs = [];

const tile = (name) => `#tiles .tile[data-station="${name}"]`;
const text = (selector) => page.$eval(selector, (e) => e.textContent);
const waitText = (selector, wanted, timeout = 10000) =>
  page.waitForFunction((s, w) => document.querySelector(s)?.textContent.includes(w), { timeout }, selector, wanted);

before(async () => {
  broker = await Broker.create(['room-1', 'room-2'], PASSWORD);
  const small = ['--stations', '1', '--devices', '2', '--alarm-every', '0'];
  room1 = await startFleet(broker, [...small, '--first', '1', '--first-name', XSS]);
  room2 = await startFleet(broker, [...small, '--first', '2']);
  browser = await launchBrowser(puppeteer);
  page = await browser.newPage();
  page.on('dialog', (d) => { dialogs.push(d.message()); d.dismiss(); });
  await page.goto(broker.pageUrl);
});

after(async () => {
  await browser?.close();
  room1?.kill('SIGKILL');
  room2?.kill('SIGKILL');
  await broker?.close();
});

test('says in plain words when the broker cannot be reached or the password is wrong', async () => {
  assert.equal(await page.$eval('#address', (e) => e.value), `ws://127.0.0.1:${broker.wsPort}`);
  await logIn(page, 'control-room', PASSWORD, `ws://127.0.0.1:${await freePort()}`);
  await waitText('#connection', '无法连接');
  await logIn(page, 'control-room', 'wrong', `ws://127.0.0.1:${broker.wsPort}`);
  await waitText('#connection', '用户名或密码被拒绝');
  assert.equal(await page.$$eval('#tiles .tile', (t) => t.length), 0);
});

test('logs in and shows each station with its devices counted', async () => {
  await logIn(page, 'control-room', PASSWORD);
  await waitText('#connection', '已连接');
  for (const name of ['room-1', 'room-2']) {
    await waitText(tile(name), '设备正常 2');
    assert.match(await text(tile(name)), /在线.*设备报警 0.*通信异常 0.*未确认告警 0/);
  }
  const kept = await page.evaluate(() => location.href + JSON.stringify({ ...localStorage, ...sessionStorage }) + document.cookie);
  assert.ok(!kept.includes(PASSWORD), kept);
});

test("counts a station's devices by its summary, or by its readings without one", async () => {
  const publish = (topic, message) => execFileSync('mosquitto_pub',
    ['-p', String(broker.mqttPort), '-u', 'writer', '-P', PASSWORD, '-r', '-q', '1', '-t', topic, '-m', message]);
  publish('spdmon/room-9/node/1/a', '{"communication_status":"通信正常","alarm_status":"告警"}');
  await waitText(tile('room-9'), '设备正常 0设备报警 1通信异常 0');
  publish('spdmon/room-9/summary', '{"alarm":1,"commloss":2,"normal":5}');
  await waitText(tile('room-9'), '设备正常 5');
  assert.match(await text(tile('room-9')), /设备报警 1.*通信异常 2/);
});

test('shows a device name as text, never as markup', async () => {
  await page.click(tile('room-1'));
  await waitText('#cards [data-device="1"] h3', XSS);
  assert.equal(await text('#cards [data-device="1"] h3'), `${XSS}[1]`);
  await waitText('#cards [data-device="1"]', '通信诊断: 请求 120 · 正常应答 120');
  assert.equal(await page.$$eval('img', (i) => i.length), 0);
  assert.deepEqual(dialogs, []);
});

test('turns the card red and counts the alarm when one arrives', async () => {
  const card = '#cards [data-device="2"]';
  assert.match(await page.$eval(card, (e) => e.className), /\bnormal\b/);
  room1.stdin.write('alarm 2\n');
  await page.waitForSelector(`${card}.alarm`, { timeout: 10000 });
  assert.equal(await page.$eval(`${card} h3`, (e) => getComputedStyle(e).backgroundColor), 'rgb(231, 0, 0)');
  assert.match(await text(card), /浪涌保护器\[告警\]数据:异常/);
  await waitText(tile('room-1'), '未确认告警 1');
  assert.match(await text(tile('room-1')), /设备正常 1.*设备报警 1/);
  assert.match(await text('#activeAlarms'), /room-1KPV2\[2\]浪涌保护器告警未确认KPV2\[2\];  浪涌保护器:异常/);
  await waitText('#feed', 'room-1 告警未确认 KPV2[2];  浪涌保护器:异常');
});

test('shows a station offline when its process dies', async () => {
  room2.kill('SIGKILL');
  await waitText(tile('room-2'), '离线 自 ');
  assert.match(await page.$eval(tile('room-2'), (e) => e.className), /\boffline\b/);
  assert.match(await text(tile('room-1')), /在线/);
});

test("the page's account reads spdmon/# only and may not publish", () => {
  const mqtt = (tool, user, ...args) =>
    spawnSync(tool, ['-p', String(broker.mqttPort), '-u', user, '-P', PASSWORD, ...args], { encoding: 'utf8' });
  for (const topic of ['other/x', 'spdmon/room-9/x'])
    execFileSync('mosquitto_pub', ['-p', String(broker.mqttPort), '-u', 'writer', '-P', PASSWORD, '-r', '-q', '1', '-t', topic, '-m', 'm']);
  const read = mqtt('mosquitto_sub', 'control-room', '-t', '#', '-v', '-W', '2').stdout;
  assert.match(read, /^spdmon\/room-9\/x m$/m);
  assert.doesNotMatch(read, /other\/x/);
  const sent = mqtt('mosquitto_pub', 'control-room', '-V', '5', '-d', '-q', '1', '-t', 'spdmon/room-1/status', '-m', 'online');
  assert.match(sent.stdout + sent.stderr, /PUBACK \(Mid: ?1, RC:135\)/);
});

test('says when the connection is lost and reconnects by itself', async () => {
  await broker.stop();
  await waitText('#connection', '连接中断');
  await broker.start();
  await waitText('#connection', '重新连接', 15000);
  await waitText(tile('room-1'), '在线');
});
