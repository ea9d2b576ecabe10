// What the fleet page's test and benchmark share: a mosquitto started from the
// example configuration on free loopback ports, stations from the fleet
// generator, and headless Chromium.
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export const env = (name) => process.env[name] || '';

// Exits 77 (skipped) when the browser side cannot run here.
export function requireBrowser() {
  const modules = env('SPDMON_NODE_MODULES');
  try {
    const puppeteer = createRequire(join(modules, '..', 'package.json'))('puppeteer-core');
    if (!env('SPDMON_CHROMIUM'))
      throw new Error('chromium is not installed');
    return puppeteer;
  } catch (error) {
    console.log(`skipped: ${error.message} (scripts/setup.sh installs chromium and runs npm ci in web/)`);
    process.exit(77);
  }
}

export function freePort() {
  return new Promise((resolve, reject) => {
    const server = createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Lines of a child's output as they come; wait(text) resolves on the first
// line containing text.
function watch(child, stream) {
  let seen = '';
  const waiters = [];
  stream.setEncoding('utf8');
  stream.on('data', (chunk) => {
    seen += chunk;
    for (const w of waiters.filter((x) => seen.includes(x.text))) {
      waiters.splice(waiters.indexOf(w), 1);
      w.resolve();
    }
  });
  child.on('exit', (code) => {
    for (const w of waiters.splice(0))
      w.reject(new Error(`exited (${code}) before "${w.text}":\n${seen}`));
  });
  return (text, ms = 20000) => new Promise((resolve, reject) => {
    if (seen.includes(text))
      return resolve(seen);
    const timer = setTimeout(() => reject(new Error(`no "${text}" in:\n${seen}`)), ms);
    waiters.push({ text, resolve: () => { clearTimeout(timer); resolve(seen); }, reject });
  });
}

// The example configuration and ACL with its listeners on free loopback
// ports, its files in a folder of its own and a block per station; "writer"
// may write anywhere (to show what the page may not read).
export class Broker {
  static async create(stations, password) {
    const broker = new Broker();
    broker.dir = mkdtempSync(join(tmpdir(), 'spdmon-web-'));
    broker.mqttPort = await freePort();
    broker.wsPort = await freePort();
    broker.password = password;
    const examples = env('SPDMON_EXAMPLES');
    const file = (name) => join(broker.dir, name);
    const conf = readFileSync(join(examples, 'spdmon-mosquitto.conf'), 'utf8')
      .replace(/^listener 1883$/m, `listener ${broker.mqttPort} 127.0.0.1`)
      .replace(/^listener 8080$/m, `listener ${broker.wsPort} 127.0.0.1`)
      .replace(/^http_dir .*$/m, `http_dir ${env('SPDMON_WEB')}`)
      .replace(/^password_file .*$/m, `password_file ${file('passwd')}`)
      .replace(/^acl_file .*$/m, `acl_file ${file('acl')}`);
    writeFileSync(file('mosquitto.conf'), conf + '\nuser root\n');
    const example = readFileSync(join(examples, 'spdmon-mosquitto.acl'), 'utf8');
    const pageBlock = example.slice(0, example.indexOf('user room-1'));
    const stationBlock = example.slice(example.indexOf('user room-1'), example.indexOf('user room-2'));
    writeFileSync(file('acl'), pageBlock + stations.map((s) => stationBlock.replaceAll('room-1', s)).join('')
      + 'user writer\ntopic write #\n');
    const users = ['control-room', 'writer', ...stations];
    writeFileSync(file('passwd'), users.map((u) => `${u}:${password}\n`).join(''));
    execFileSync('mosquitto_passwd', ['-U', file('passwd')]);
    await broker.start();
    return broker;
  }

  async start() {
    this.process = spawn('mosquitto', ['-c', join(this.dir, 'mosquitto.conf')], { stdio: ['ignore', 'ignore', 'pipe'] });
    await watch(this.process, this.process.stderr)(' running');
  }

  stop() {
    const p = this.process;
    return new Promise((resolve) => {
      if (p.exitCode !== null || p.signalCode !== null)
        return resolve();
      p.on('exit', resolve);
      p.kill('SIGTERM');
    });
  }

  async close() {
    await this.stop();
    rmSync(this.dir, { recursive: true, force: true });
  }

  get pageUrl() {
    return `http://127.0.0.1:${this.wsPort}/`;
  }
}

// Stations room-<first>... of the fleet generator; resolves once the broker
// holds their retained state.
export async function startFleet(broker, args) {
  const child = spawn(env('FLEET_GEN'), ['--port', String(broker.mqttPort), '--password', broker.password, ...args],
    { stdio: ['pipe', 'pipe', 'pipe'] });
  child.stderr.resume();
  child.ready = await watch(child, child.stdout)('ready', 60000);
  return child;
}

export function launchBrowser(puppeteer) {
  return puppeteer.launch({
    executablePath: env('SPDMON_CHROMIUM'),
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-dev-shm-usage'],
  });
}

// Logs in on the page with the given account.
export async function logIn(page, user, password, address) {
  await page.$eval('#address', (e, a) => { if (a) e.value = a; }, address || '');
  await page.$eval('#user', (e, u) => { e.value = u; }, user);
  await page.$eval('#password', (e, p) => { e.value = p; }, password);
  await page.click('#connect');
}
