// SPDX-License-Identifier: MIT
// Drives the browser pad in headless Chromium the way a writer would: serves
// web/ on 127.0.0.1, replays a stroke file as mouse input on the canvas (the
// page sees pointer events), and checks the candidate bar, undo, commit and
// clear. Saves web/screenshot.png of the written line.
//
// usage: node web/test.mjs [STROKES.json EXPECTED]
import { createServer } from 'node:http';
import { readFileSync } from 'node:fs';
import { dirname, extname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { createRequire } from 'node:module';

const web = dirname(fileURLToPath(import.meta.url));
const { chromium } = createRequire(join(web, 'node_modules/'))('playwright-core');
const strokeFile = process.argv[2] || join(web, '../examples/zhongguo.json');
const expected = process.argv[3] || '中国';
const MARGIN = 20;
const LONG_STROKE = 20000;   // points, more than a line may hold

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
const server = createServer((request, response) => {
  const name = new URL(request.url, 'http://x').pathname.replace(/^\/$/, '/index.html');
  if (!/^\/[\w.-]+$/.test(name) || !types[extname(name)]) { response.writeHead(404).end(); return; }
  try {
    const body = readFileSync(join(web, name));
    response.writeHead(200, { 'Content-Type': types[extname(name)] }).end(body);
  } catch { response.writeHead(404).end(); }
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));

let failures = 0;
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
}

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const page = await browser.newPage();
  page.on('pageerror', (error) => { console.log(`page error: ${error.message}`); failures++; });
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForSelector('body[data-ready="1"]', { timeout: 30000 });

  // The strokes scaled to fit the canvas, aspect kept.
  const strokes = JSON.parse(readFileSync(strokeFile, 'utf8'));
  const box = await page.locator('#pad').boundingBox();
  const xs = strokes.flat().map((p) => p[0]), ys = strokes.flat().map((p) => p[1]);
  const [x0, y0] = [Math.min(...xs), Math.min(...ys)];
  const scale = Math.min((box.width - 2 * MARGIN) / Math.max(1, Math.max(...xs) - x0),
                         (box.height - 2 * MARGIN) / Math.max(1, Math.max(...ys) - y0));
  const at = ([x, y]) => [box.x + MARGIN + (x - x0) * scale, box.y + MARGIN + (y - y0) * scale];

  const bar = async () => page.$$eval('#candidates button', (b) => b.map((e) => e.textContent));
  const held = async () => Number(await page.getAttribute('#candidates', 'data-strokes'));
  async function write(stroke) {
    const before = await held();
    await page.mouse.move(...at(stroke[0]));
    await page.mouse.down();
    for (const point of stroke.slice(1)) await page.mouse.move(...at(point));
    await page.mouse.up();
    await page.waitForFunction((n) => document.getElementById('candidates').dataset.strokes === String(n),
                               before + 1, { timeout: 10000 });
    return bar();
  }

  const lists = [];
  for (const stroke of strokes) lists.push(await write(stroke));
  const last = lists[lists.length - 1];
  console.log(`candidates after ${strokes.length} strokes: ${last.join(' ')}`);
  check(lists.every((list) => list.length > 0), 'the bar has candidates after every stroke');
  check(last[0] === expected, `first candidate is ${expected}`);

  await page.click('#undo');
  const previous = lists[lists.length - 2] || [];
  check(await held() === strokes.length - 1, 'undo removes one stroke');
  check(JSON.stringify(previous) !== JSON.stringify(last), 'the last stroke changed the list');
  check(JSON.stringify(await bar()) === JSON.stringify(previous), 'undo brings back the previous list');

  check((await write(strokes[strokes.length - 1]))[0] === expected, `rewriting the last stroke gives ${expected} again`);
  await page.click('#candidates button');
  check(await page.inputValue('#text') === expected, 'clicking the first candidate commits it');
  check(await held() === 0 && (await bar()).length === 0, 'commit empties the pad');

  await write(strokes[0]);
  await page.click('#clear');
  check(await held() === 0 && (await bar()).length === 0, 'clear empties the pad');

  // A stroke longer than the kernel's point buffer is refused; the pad
  // keeps working. The moves go out without waiting for one another.
  const cdp = await page.context().newCDPSession(page);
  const move = (x, y, type = 'mouseMoved') =>
    cdp.send('Input.dispatchMouseEvent', { type, x, y, button: 'left', buttons: 1, clickCount: 1 });
  const zigzag = Array.from({ length: LONG_STROKE }, (_, i) =>
    [box.x + MARGIN + (i % 900), box.y + MARGIN + 12 * Math.floor(i / 900)]);
  await move(...zigzag[0], 'mousePressed');
  await Promise.all(zigzag.map(([x, y]) => move(x, y)));
  await move(...zigzag[zigzag.length - 1], 'mouseReleased');
  await page.waitForFunction(() => /refused/.test(document.getElementById('status').textContent),
                             null, { timeout: 30000 });
  console.log(`status: ${await page.textContent('#status')}`);
  check(await held() === 0 && (await bar()).length === 0, `a stroke of ${LONG_STROKE} points is refused`);

  let final = [];
  for (const stroke of strokes) final = await write(stroke);
  check(final[0] === expected, `after the refused stroke the line gives ${expected} again`);
  const times = await page.evaluate(() => window.penruneTimes);
  const mean = times.reduce((a, b) => a + b, 0) / times.length;
  console.log(`AddStroke: ${times.length} calls, mean ${mean.toFixed(1)} ms, max ${Math.max(...times).toFixed(1)} ms`);
  await page.screenshot({ path: join(web, 'screenshot.png'), clip: { x: 0, y: 0, width: box.x + box.width + 16, height: 480 } });
} finally {
  await browser.close();
  server.close();
}
console.log(failures ? `${failures} check(s) failed` : 'all checks passed');
process.exit(failures ? 1 : 0);
