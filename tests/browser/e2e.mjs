// End to end in headless Chromium: `ocuvant serve` on the simulator, its page opened
// from the token URL; enroll a simulated person, identify them from the gallery, an
// impostor refused, a portrait photo, the live picture decoding, the checks against
// other local origins and a wrong Host, a second tab, and SIGTERM with the page open.
//   node e2e.mjs OCUVANT_EXECUTABLE SCREENSHOT_DIR
// Exit 0 all passed, 1 a check failed, 77 no Chromium or no playwright-core (skipped).
import { spawn } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

const [exe, shots = 'screenshots'] = process.argv.slice(2);
let passed = 0;
let failed = 0;
function check(ok, what) {
  if (ok) passed++;
  else failed++;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
}

// Skip decisions come before anything is spawned.
const chromiumPath = ['/usr/lib/chromium/chromium', '/usr/bin/chromium'].find(existsSync);
let chromium;
try {
  ({ chromium } = await import('playwright-core'));
} catch {
  console.log('skipped: playwright-core is not installed (npm ci in tests/browser)');
  process.exit(77);
}
if (!chromiumPath || !exe) {
  console.log('skipped: no chromium');
  process.exit(77);
}
mkdirSync(shots, { recursive: true });
const gallery = mkdtempSync(path.join(os.tmpdir(), 'ocuvant-gallery-'));

let server;
let browser;
let attacker;
try {
  const pages = path.join(path.dirname(new URL(import.meta.url).pathname), 'pages');
  server = spawn(exe, ['serve', '--simulator', '--port', '0', '--gallery', gallery, '--pages', pages],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  let stderr = '';
  server.stderr.on('data', (d) => { stderr += d; });
  const listen = await new Promise((resolve, reject) => {
    let out = '';
    server.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/^LISTEN (\d+) ([0-9a-f]+) (\S+)$/m);
      if (m) resolve({ port: Number(m[1]), token: m[2], url: m[3] });
    });
    server.on('exit', (c) => reject(new Error(`server exited ${c}: ${stderr}`)));
    setTimeout(() => reject(new Error('no LISTEN line')), 10000);
  });
  const origin = `http://127.0.0.1:${listen.port}`;
  check(listen.url === `${origin}/?t=${listen.token}`, 'the server prints its token URL on 127.0.0.1');

  const t0 = Date.now();
  browser = await chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    args: ['--disable-gpu', '--disable-dev-shm-usage', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--disable-quic', '--host-resolver-rules=MAP rebind.test 127.0.0.1'],
  });
  console.log(`browser start: ${Date.now() - t0} ms`);
  const context = await browser.newContext({ viewport: { width: 1500, height: 900 } });
  const page = await context.newPage();
  const consoleErrors = [];
  let shuttingDown = false;
  page.on('console', (m) => { if (m.type() === 'error' && !shuttingDown) consoleErrors.push(m.text()); });
  page.on('pageerror', (e) => { if (!shuttingDown) consoleErrors.push(String(e)); });

  const tPage = Date.now();
  await page.goto(listen.url);
  check(page.url() === `${origin}/`, 'the token leaves the address bar (303 to /)');
  await page.waitForFunction(() => document.getElementById('connection').textContent === 'connected');
  check(true, 'the event stream opens');
  const invoke = (name, ...args) => page.evaluate(async ([n, a]) => {
    const r = await fetch('/api/invoke', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ name: n, args: a }) });
    return r.json();
  }, [name, args]);
  const timeout = (await invoke('EnrollIrisTimeout')).result;
  check(timeout === 30, 'a property read through the bridge from the page');

  // Enrollment of the simulated person.
  await page.fill('#label', 'alice');
  await page.click('#enroll-both');
  await page.waitForFunction(() => {
    const img = document.getElementById('live');
    return img.naturalWidth === 640 && img.naturalHeight === 360;
  }, null, { timeout: 20000 });
  check(true, 'the live picture decodes (640 x 360)');
  await page.waitForFunction(() => /accepted|step done/.test(document.getElementById('eye-left').textContent), null, { timeout: 20000 });
  await page.screenshot({ path: path.join(shots, 'enrollment.png') });
  check(true, 'per-eye progress shown during the enrollment');
  await page.waitForSelector('#results li:has-text("Enrolled alice")', { timeout: 90000 });
  check(true, 'enrolled through the page');
  await page.waitForSelector('#gallery li:has-text("alice")');
  check(existsSync(path.join(gallery, 'alice.json')), 'the gallery holds alice.json');

  // Identification from the gallery.
  const idle = () => page.waitForFunction(() => document.getElementById('session').textContent === 'idle', null, { timeout: 30000 });
  await idle();
  await page.click('#identify');
  await page.waitForSelector('#results li:has-text("Identified: alice")', { timeout: 60000 });
  check(true, 'identified from the gallery');
  await page.screenshot({ path: path.join(shots, 'identified.png') });

  // An impostor: another simulated person, a short match time-out.
  await invoke('MatchIrisTimeout', 4);
  await idle();
  for (let i = 0; i < 50; i++) {
    const r = await page.evaluate(async () => (await fetch('/api/simulator', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: '{"seed":77}' })).status);
    if (r === 200) break;
    await page.waitForTimeout(200);
  }
  await page.click('#identify');
  await page.waitForSelector('#results li:has-text("Nobody identified")', { timeout: 30000 });
  check(true, 'an impostor is refused');
  await idle();

  // Portrait photo.
  for (let i = 0; i < 50; i++) {
    const r = await page.evaluate(async () => (await fetch('/api/photo', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: '{"camera":1}' })).status);
    if (r === 200) break;
    await page.waitForTimeout(200);
  }
  await page.waitForFunction(() => document.getElementById('portrait').naturalWidth === 1280, null, { timeout: 15000 });
  check(true, 'a portrait photo is shown (1280 x 720)');
  console.log(`page checks: ${Date.now() - tPage} ms`);

  // Another local origin: its requests are refused and nothing runs.
  await invoke('EnrollIrisTimeout', 30);
  attacker = http.createServer((req, res) => {
    res.setHeader('Content-Type', 'text/html');
    res.end(`<!doctype html><script>
      window.results = {};
      const target = ${JSON.stringify(origin)};
      const body = JSON.stringify({ name: 'EnrollIrisTimeout', args: [3] });
      fetch(target + '/api/invoke', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body })
        .then(r => results.json = 'status ' + r.status, () => results.json = 'blocked');
      fetch(target + '/api/invoke', { method: 'POST', mode: 'no-cors', headers: { 'Content-Type': 'text/plain' }, body })
        .then(() => results.text = 'sent', () => results.text = 'blocked');
      fetch(target + '/api/status').then(r => r.text()).then(t => results.get = t, () => results.get = 'blocked');
      const img = new Image(); img.onload = () => results.img = 'loaded'; img.onerror = () => results.img = 'error';
      img.src = target + '/api/stream';
      const es = new EventSource(target + '/api/events');
      es.onopen = () => results.es = 'open'; es.onerror = () => { results.es = 'error'; es.close(); };
    </script>`);
  });
  await new Promise((r) => attacker.listen(0, '127.0.0.1', r));
  const evil = await context.newPage();
  await evil.goto(`http://127.0.0.1:${attacker.address().port}/`);
  await evil.waitForFunction(() => ['json', 'text', 'get', 'img', 'es'].every((k) => k in window.results), null, { timeout: 10000 });
  const r = await evil.evaluate(() => window.results);
  check(r.json === 'blocked', `other origin: JSON POST blocked (${r.json})`);
  check(r.get === 'blocked', `other origin: GET unreadable (${r.get})`);
  check(r.img === 'error', `other origin: the live picture is not shown (${r.img})`);
  check(r.es === 'error', `other origin: the event stream is refused (${r.es})`);
  check((await invoke('EnrollIrisTimeout')).result === 30, 'other origin: no method ran');
  await evil.close();
  // DNS rebinding: a name that resolves to 127.0.0.1.
  const rebind = await context.newPage();
  const answer = await rebind.goto(`http://rebind.test:${listen.port}/?t=${listen.token}`);
  check(answer.status() === 421, `a wrong Host is refused (${answer.status()})`);
  await rebind.close();

  // The README's integrator page, served with --pages, on the script client.
  const demo = await context.newPage();
  const demoErrors = [];
  demo.on('console', (m) => { if (m.type() === 'error') demoErrors.push(m.text()); });
  await demo.goto(`${origin}/pages/demo.html`);
  await demo.waitForFunction(() => /timeout 4\n/.test(document.getElementById('out').textContent), null, { timeout: 10000 });
  check(demoErrors.length === 0, `the README's example page runs on ocuvant.js${demoErrors.length ? ': ' + demoErrors.join(' | ') : ''}`);
  await demo.close();
  await page.reload();
  await page.waitForFunction(() => document.getElementById('connection').textContent === 'connected');
  await invoke('CloseIris');

  // A second tab takes over the streams; the first one says so.
  const second = await context.newPage();
  await second.goto(`${origin}/`);
  await second.waitForFunction(() => document.getElementById('connection').textContent === 'connected');
  await page.waitForFunction(() => document.getElementById('connection').textContent === 'taken over by another tab');
  check(true, 'a second tab takes over; the first shows it');
  await second.close();
  await page.reload();
  await page.waitForFunction(() => document.getElementById('connection').textContent === 'connected');

  // SIGTERM with the page connected.
  check(consoleErrors.length === 0, `no console errors${consoleErrors.length ? ': ' + consoleErrors.join(' | ') : ''}`);
  shuttingDown = true;
  const tStop = Date.now();
  const exited = new Promise((res) => server.on('exit', (code) => res(code)));
  server.kill('SIGTERM');
  const code = await exited;
  const stopMs = Date.now() - tStop;
  console.log(`shutdown with a page connected: ${stopMs} ms`);
  check(code === 0 && stopMs < 3000, `the server stops promptly on SIGTERM (exit ${code}, ${stopMs} ms)`);
  await page.waitForFunction(() => document.getElementById('connection').textContent.startsWith('reconnecting'), null, { timeout: 10000 });
  check(true, 'the page shows that it is reconnecting');
  await page.screenshot({ path: path.join(shots, 'reconnecting.png') });
} catch (e) {
  check(false, `unexpected: ${e.stack ?? e}`);
} finally {
  if (server && server.exitCode === null) server.kill('SIGKILL');
  attacker?.close();
  await browser?.close();
  rmSync(gallery, { recursive: true, force: true });
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
