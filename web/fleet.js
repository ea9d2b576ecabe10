'use strict';
// The fleet page: subscribes to every station's spdmon/<station>/... topics
// over the broker's websockets listener and shows them. It never publishes.
// Every text that comes from a station goes into the page as text, never as
// markup. Messages only change the model; the view follows at most a few
// times a second, so a flood of retained messages cannot freeze the page.
(function () {
  const FEED_LIMIT = 300;
  const ALARM_ROWS_LIMIT = 500;
  const RENDER_PAUSE_MS = 200;
  const COMM_NORMAL = '通信正常';
  const ALARM = '告警';
  const STATE_TEXT = {
    active_unacknowledged: '告警未确认',
    active_acknowledged: '告警已确认',
    returned_unacknowledged: '恢复未确认',
    normal: '已恢复',
  };
  // The broker sends the retained messages in this order: the stations'
  // status, device counts and alarms (one each) come before the many node
  // readings, so every tile is complete at once; the browser takes in some
  // 10,000 messages a second, and a large fleet has tens of thousands of
  // readings. Bus counts only for the open station: a fleet's worth would
  // add a quarter to the messages a page takes in on connecting.
  const TOPICS = ['spdmon/+/status', 'spdmon/+/summary', 'spdmon/+/alarms/#', 'spdmon/+/alarm', 'spdmon/+/surge',
    'spdmon/+/node/#'];
  const diagTopic = (name) => `spdmon/${name}/diag/+`;
  const $ = (id) => document.getElementById(id);
  const decoder = new TextDecoder();

  const stations = new Map(); // topic segment -> station
  let feedWaiting = []; // events not yet shown, oldest first
  let alarmsChanged = false;
  let openName = null;
  let client = null;
  let renderTimer = 0;

  // ---- the model ----------------------------------------------------------

  function station(name) {
    let st = stations.get(name);
    if (!st) {
      st = { name, online: null, since: null, summary: null, devices: new Map(), active: [], dirty: true,
        dirtyDevices: new Set() };
      stations.set(name, st);
    }
    return st;
  }

  function device(st, id) {
    let d = st.devices.get(id);
    if (!d) {
      d = { id, name: '', nodes: new Map(), diag: null };
      st.devices.set(id, d);
    }
    return d;
  }

  function parse(text) {
    try {
      return JSON.parse(text);
    } catch (e) {
      return undefined;
    }
  }

  function isObject(value) {
    return value !== null && typeof value === 'object' && !Array.isArray(value);
  }

  function now() {
    const d = new Date();
    const two = (n) => String(n).padStart(2, '0');
    return `${d.getFullYear()}-${two(d.getMonth() + 1)}-${two(d.getDate())} ` +
      `${two(d.getHours())}:${two(d.getMinutes())}:${two(d.getSeconds())}`;
  }

  // A device that no topic mentions any more is gone from the station.
  function forgetIfEmpty(st, d) {
    if (d.nodes.size === 0 && d.diag === null)
      st.devices.delete(d.id);
  }

  function take(topic, payload, retained) {
    const parts = topic.split('/');
    if (parts.length < 3 || parts[0] !== 'spdmon')
      return;
    const st = station(parts[1]);
    const kind = parts.slice(2).join('/');
    const text = decoder.decode(payload);
    st.dirty = true;
    if (kind === 'status') {
      const online = text === 'online';
      if (st.online !== online)
        st.since = retained ? null : now();
      st.online = online;
    } else if (parts[2] === 'node' && parts.length === 5) {
      const d = device(st, parts[3]);
      st.dirtyDevices.add(d.id);
      const row = parse(text);
      if (text === '' || !isObject(row)) {
        d.nodes.delete(parts[4]);
        forgetIfEmpty(st, d);
        return;
      }
      d.nodes.set(parts[4], row);
      if (typeof row.device_name === 'string')
        d.name = row.device_name;
    } else if (parts[2] === 'diag' && parts.length === 4) {
      const d = device(st, parts[3]);
      st.dirtyDevices.add(d.id);
      const counts = parse(text);
      d.diag = text !== '' && isObject(counts) ? counts : null;
      forgetIfEmpty(st, d);
    } else if (kind === 'summary') {
      const counts = parse(text);
      st.summary = isObject(counts) && ['normal', 'alarm', 'commloss'].every((k) => Number.isInteger(counts[k]))
        ? counts : null;
    } else if (kind === 'alarms/active') {
      const list = parse(text);
      st.active = Array.isArray(list) ? list.filter(isObject) : [];
      alarmsChanged = true;
    } else if (kind === 'alarms/event' || kind === 'alarm' || kind === 'surge') {
      const event = parse(text);
      if (isObject(event))
        feedWaiting.push({ station: st.name, kind, event });
      if (feedWaiting.length > FEED_LIMIT)
        feedWaiting = feedWaiting.slice(-FEED_LIMIT);
    }
    schedule();
  }

  // normal, alarm or commloss: a device not answering cannot be judged.
  function nodeState(row) {
    if (row.communication_status !== COMM_NORMAL)
      return 'commloss';
    return row.alarm_status === ALARM ? 'alarm' : 'normal';
  }

  function deviceState(d) {
    let state = 'normal';
    for (const row of d.nodes.values()) {
      const s = nodeState(row);
      if (s === 'commloss')
        return s;
      if (s === 'alarm')
        state = s;
    }
    return state;
  }

  // A station that publishes no summary (an older spdmon) is counted here.
  function deviceCounts(st) {
    const counts = { normal: 0, alarm: 0, commloss: 0 };
    for (const d of st.devices.values()) {
      if (d.nodes.size)
        counts[deviceState(d)]++;
    }
    return counts;
  }

  function deviceLabel(st, id) {
    const d = st.devices.get(String(id));
    return (d && d.name ? d.name : '设备') + `[${id}]`;
  }

  // ---- the view -------------------------------------------------------------

  function element(tag, className, text) {
    const e = document.createElement(tag);
    if (className)
      e.className = className;
    if (text !== undefined)
      e.textContent = String(text);
    return e;
  }

  function schedule() {
    if (!renderTimer)
      renderTimer = setTimeout(render, RENDER_PAUSE_MS);
  }

  function render() {
    renderTimer = 0;
    for (const st of stations.values()) {
      if (st.dirty)
        renderTile(st);
      if (st.name === openName && st.dirtyDevices.size)
        renderCards(st);
      st.dirty = false;
      st.dirtyDevices.clear();
    }
    if (alarmsChanged)
      renderAlarms();
    renderFeed();
  }

  function renderTile(st) {
    let tile = st.tile;
    if (!tile) {
      tile = st.tile = element('button', 'tile');
      tile.type = 'button';
      tile.dataset.station = st.name;
      tile.addEventListener('click', () => openStation(st.name));
      const tiles = $('tiles');
      const after = Array.from(tiles.children).find((t) => t.dataset.station.localeCompare(st.name) > 0);
      tiles.insertBefore(tile, after || null);
    }
    const counts = st.summary || deviceCounts(st);
    const unacknowledged = st.active.filter((a) => a.state !== 'active_acknowledged').length;
    let status = st.online === null ? '状态未知' : st.online ? '在线' : '离线';
    if (st.online !== null)
      status += st.since ? ` 自 ${st.since}` : `（连接时已${status}）`;
    tile.className = 'tile' + (st.online === false ? ' offline' : counts.alarm ? ' alarm'
      : counts.commloss ? ' commloss' : '') + (st.name === openName ? ' open' : '');
    tile.replaceChildren(
      element('strong', 'name', st.name),
      element('span', 'status', status),
      element('span', 'count normal', `设备正常 ${counts.normal}`),
      element('span', 'count alarm', `设备报警 ${counts.alarm}`),
      element('span', 'count commloss', `通信异常 ${counts.commloss}`),
      element('span', 'count unacknowledged', `未确认告警 ${unacknowledged}`));
  }

  function openStation(name) {
    const previous = stations.get(openName);
    openName = openName === name ? null : name;
    if (previous) {
      client?.unsubscribe(diagTopic(previous.name));
      for (const d of previous.devices.values()) {
        d.diag = null;
        forgetIfEmpty(previous, d);
      }
      renderTile(previous);
    }
    if (openName !== null)
      client?.subscribe(diagTopic(openName), { qos: 0 });
    $('cards').replaceChildren();
    $('devices').hidden = openName === null;
    const st = stations.get(openName);
    if (!st)
      return;
    $('devicesTitle').textContent = `${st.name} 的设备`;
    renderTile(st);
    st.cards = new Map();
    st.dirtyDevices = new Set(st.devices.keys());
    renderCards(st);
    st.dirtyDevices.clear();
  }

  function renderCards(st) {
    const cards = $('cards');
    if (!st.cards)
      st.cards = new Map();
    for (const id of st.dirtyDevices) {
      const d = st.devices.get(id);
      let card = st.cards.get(id);
      if (!d || !d.nodes.size) {
        if (card)
          card.remove();
        st.cards.delete(id);
        continue;
      }
      if (!card) {
        card = element('article', 'card');
        card.dataset.device = id;
        st.cards.set(id, card);
        const after = Array.from(cards.children).find((c) => Number(c.dataset.device) > Number(id));
        cards.insertBefore(card, after || null);
      }
      fillCard(card, st, d);
    }
  }

  // The desktop's overview card, one block per node.
  function fillCard(card, st, d) {
    card.className = 'card ' + deviceState(d);
    const parts = [element('h3', 'device', deviceLabel(st, d.id))];
    const names = Array.from(d.nodes.keys()).sort();
    for (const key of names) {
      const row = d.nodes.get(key);
      const state = nodeState(row);
      const block = element('div', 'node ' + state);
      const name = typeof row.node_name === 'string' ? row.node_name : key;
      block.append(
        element('div', 'header', state === 'alarm' ? `${name}[告警]` : name),
        element('div', 'line', state === 'commloss' ? '数据:???' : `数据:${row.con_data ?? ''}`),
        element('div', 'line', `时间:${row.read_time ?? ''}`));
      parts.push(block);
    }
    if (d.diag)
      parts.push(diagBlock(d.diag));
    card.replaceChildren(...parts);
  }

  function diagBlock(c) {
    const ms = (v) => (typeof v === 'number' ? v.toFixed(1) : '-');
    return element('div', 'diag',
      `通信诊断: 请求 ${c.requests} · 正常应答 ${c.good} · 无应答 ${c.no_reply} · 错误应答 ${c.bad_reply}` +
      ` · 异常应答 ${c.exception_reply} · 连续失败 ${c.consecutive_failures}` +
      ` · 最近/平均/最大(ms) ${ms(c.response_ms_last)}/${ms(c.response_ms_mean)}/${ms(c.response_ms_max)}`);
  }

  function renderAlarms() {
    alarmsChanged = false;
    const all = [];
    for (const st of stations.values()) {
      for (const a of st.active)
        all.push({ st, a });
    }
    // "YYYY-MM-DD hh:mm:ss" sorts as text.
    all.sort((x, y) => String(y.a.since).localeCompare(String(x.a.since)));
    $('alarmCount').textContent = `(${all.length})`;
    $('activeAlarms').replaceChildren(...all.slice(0, ALARM_ROWS_LIMIT).map(({ st, a }) => {
      const tr = element('tr', a.state === 'active_acknowledged' ? 'acknowledged' : 'unacknowledged');
      tr.append(element('td', '', a.since ?? ''), element('td', '', st.name),
        element('td', '', deviceLabel(st, a.device_id)), element('td', '', a.node_name || '通信'),
        element('td', '', STATE_TEXT[a.state] ?? a.state), element('td', '', a.text ?? ''));
      return tr;
    }));
  }

  function eventText({ station: name, kind, event: e }) {
    const st = stations.get(name);
    if (kind === 'surge') {
      const what = e.kind === 'reset' ? '浪涌计数复位' : `浪涌 ${e.surges} 次`;
      return `${e.time} ${name} ${deviceLabel(st, e.device)} ${what} (${e.before} → ${e.count})`;
    }
    if (kind === 'alarm')
      return `${e.time} ${name} 报警 ${e.text}`;
    const who = e.user ? ` (${e.user})` : '';
    return `${e.time} ${name} ${STATE_TEXT[e.state] ?? e.state} ${e.text}${who}`;
  }

  function renderFeed() {
    if (!feedWaiting.length)
      return;
    const feed = $('feed');
    for (const item of feedWaiting)
      feed.prepend(element('li', item.kind === 'surge' ? 'surge' : 'alarm', eventText(item)));
    feedWaiting = [];
    while (feed.children.length > FEED_LIMIT)
      feed.lastElementChild.remove();
  }

  // ---- the connection -------------------------------------------------------

  function say(text, problem) {
    const line = $('connection');
    line.textContent = text;
    line.className = problem ? 'problem' : '';
  }

  // What another broker or account showed is not this one's.
  function forgetAll() {
    stations.clear();
    feedWaiting = [];
    openName = null;
    $('devices').hidden = true;
    for (const id of ['tiles', 'cards', 'activeAlarms', 'feed', 'alarmCount'])
      $(id).replaceChildren();
  }

  function connectTo(address, username, password) {
    disconnect();
    forgetAll();
    let connected = false;
    let lost = false;
    say(`正在连接 ${address} …`);
    const c = mqtt.connect(address, {
      username,
      password,
      clientId: 'spdmon-fleet-' + Math.random().toString(16).slice(2, 10),
      clean: true,
      connectTimeout: 5000,
      reconnectPeriod: 3000,
      // 'connect' below subscribes; MQTT.js doing it too would bring every
      // retained message twice.
      resubscribe: false,
    });
    client = c;
    c.on('connect', () => {
      const again = lost ? `（${now()} 重新连接）` : '';
      connected = true;
      lost = false;
      say(`已连接 ${address}${again}`);
      c.subscribe(TOPICS.concat(openName === null ? [] : [diagTopic(openName)]), { qos: 0 }, (error, granted) => {
        if (error || !granted || granted.some((g) => g.qos === 128))
          say(`已连接 ${address}，但代理服务器不允许本账号读取 spdmon/#`, true);
      });
    });
    c.on('message', (topic, payload, packet) => take(topic, payload, packet.retain));
    c.on('error', (error) => {
      // 4 and 5 (MQTT 3.1.1), 134 and 135 (MQTT 5): the login was refused.
      if ([4, 5, 134, 135].includes(error.code)) {
        say('用户名或密码被拒绝，请检查后重新连接', true);
        c.end(true);
        $('disconnect').disabled = true;
      }
    });
    c.on('close', () => {
      if (c !== client || c.disconnecting || c.disconnected)
        return;
      if (connected) {
        connected = false;
        lost = true;
        say(`与代理服务器 ${address} 的连接中断（${now()}），正在自动重连 …`, true);
      } else if (!lost) {
        say(`无法连接 ${address}：代理服务器没有应答或地址不对，正在重试 …`, true);
      }
    });
    $('disconnect').disabled = false;
  }

  function disconnect() {
    if (client) {
      client.end(true);
      client = null;
      say('未连接');
    }
    $('disconnect').disabled = true;
  }

  function defaultAddress() {
    if (location.protocol === 'http:' || location.protocol === 'https:')
      return (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host;
    return 'ws://localhost:8080';
  }

  // Only the address and the user name are remembered; the password lives in
  // this tab's memory while connected.
  $('address').value = localStorage.getItem('spdmon.address') || defaultAddress();
  $('user').value = localStorage.getItem('spdmon.user') || '';
  $('login').addEventListener('submit', (event) => {
    event.preventDefault();
    const address = $('address').value.trim();
    const username = $('user').value.trim();
    localStorage.setItem('spdmon.address', address);
    localStorage.setItem('spdmon.user', username);
    connectTo(address, username, $('password').value);
  });
  $('disconnect').addEventListener('click', disconnect);
})();
