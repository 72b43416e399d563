// SPDX-License-Identifier: MIT
// The browser pad's work in the WebAssembly module under node, for
// comparison with the native bench/examples_bench: each example line of
// examples/ written into one kernel in line mode, one HWKernel_AddStroke per
// stroke, from an empty instance. Prints the fastest and the median time of
// a whole line over the runs, and the process's CPU time per line and per
// stroke. On a busy machine the fastest run is the one least disturbed.
//
// usage: node web/bench.mjs [RUNS]   (after web/build.sh)
import { readFileSync, readdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { createRequire } from 'node:module';

const web = dirname(fileURLToPath(import.meta.url));
const examples = join(web, '../examples');
const createPenrune = createRequire(import.meta.url)(join(web, 'penrune.js'));
const runs = Number(process.argv[2] || 200);
const HW_MODE_LINE = 1;
const WARM_UP_MS = 3000;

// The module is handed its binary: the loader would fetch it otherwise,
// which node cannot do from a file path.
const M = await createPenrune({ wasmBinary: readFileSync(join(web, 'penrune.wasm')) });
const kernel = M._HWKernel_Initialize(M._malloc(M._HWKernel_GetInstanceSize()), 0, 0);
M._HWKernel_SetMode(kernel, HW_MODE_LINE);

// The strokes of a file in kernel memory, each ended by its marker.
function loadStrokes(path) {
  return JSON.parse(readFileSync(path, 'utf8')).map((points) => {
    const count = points.length + 1;
    const block = M._malloc(count * 4);
    const view = new Uint16Array(M.HEAPU16.buffer, block, count * 2);
    points.forEach(([x, y], i) => { view[2 * i] = x; view[2 * i + 1] = y; });
    view.set([0xFFFF, 0], 2 * points.length);
    return { block, count };
  });
}

function writeLine(strokes) {
  const start = performance.now();
  M._HWKernel_Reset(kernel);
  for (const { block, count } of strokes) M._HWKernel_AddStroke(kernel, block, count);
  return performance.now() - start;
}

// Every line is written for a while first, so that the engine has compiled
// the hot functions with its optimising tier before anything is timed.
const lines = readdirSync(examples).filter((f) => f.endsWith('.json')).sort()
  .map((name) => ({ name, strokes: loadStrokes(join(examples, name)) }));
for (const warmUpEnd = performance.now() + WARM_UP_MS; performance.now() < warmUpEnd;) {
  lines.forEach(({ strokes }) => writeLine(strokes));
}

for (const { name, strokes } of lines) {
  const cpuStart = process.cpuUsage();
  const times = Array.from({ length: runs }, () => writeLine(strokes)).sort((a, b) => a - b);
  const cpu = process.cpuUsage(cpuStart);
  const cpuPerLine = (cpu.user + cpu.system) / 1000 / runs;
  console.log(`${name.padEnd(14)} ${String(strokes.length).padStart(3)} strokes  ` +
              `${times[0].toFixed(3)} ms fastest, ${times[Math.floor(runs / 2)].toFixed(3)} ms median, ` +
              `${cpuPerLine.toFixed(3)} ms CPU per line  (${(cpuPerLine / strokes.length).toFixed(3)} per stroke)  ` +
              `${M._HWKernel_GetCandTotal(kernel)} candidates`);
}
