// SPDX-License-Identifier: MIT
// The browser pad: pen strokes on a canvas go to one kernel instance in line
// mode; the candidate bar shows its list after every stroke.
'use strict';

const CAND_BYTES = 256;           // room for one candidate in UTF-8
const CAND_SHOWN = 10;            // candidates on the bar
const COORD_MAX = 65534;          // largest coordinate the kernel takes
const HW_MODE_LINE = 1;

createPenrune().then((M) => {
  const pad = document.getElementById('pad');
  const bar = document.getElementById('candidates');
  const text = document.getElementById('text');
  const status = document.getElementById('status');
  const ctx = pad.getContext('2d');
  ctx.lineWidth = 3;
  ctx.lineCap = ctx.lineJoin = 'round';

  const kernel = M._HWKernel_Initialize(M._malloc(M._HWKernel_GetInstanceSize()), 0, 0);
  M._HWKernel_SetMode(kernel, HW_MODE_LINE);
  const candBuffer = M._malloc(CAND_BYTES);
  const strokes = [];             // the strokes the kernel holds, as [x, y] lists
  let current = null;             // the stroke being written

  function candidates() {
    const list = [];
    const total = Math.min(M._HWKernel_GetCandTotal(kernel), CAND_SHOWN);
    for (let i = 0; i < total; i++) {
      M._HWKernel_GetCandItemUtf8(kernel, i, candBuffer, CAND_BYTES);
      list.push(M.UTF8ToString(candBuffer));
    }
    return list;
  }

  function showCandidates() {
    bar.replaceChildren(...candidates().map((word) => {
      const button = document.createElement('button');
      button.textContent = word;
      button.addEventListener('click', () => commit(word));
      return button;
    }));
    bar.dataset.strokes = String(M._HWKernel_GetStrokeTotal(kernel));
  }

  function drawStroke(points) {
    ctx.beginPath();
    points.forEach(([x, y], i) => (i ? ctx.lineTo(x, y) : ctx.moveTo(x, y)));
    ctx.stroke();
  }

  function redraw() {
    ctx.clearRect(0, 0, pad.width, pad.height);
    strokes.forEach(drawStroke);
  }

  // Hands one stroke to the kernel: its points, then the stroke-end marker.
  function addStroke(points) {
    const count = points.length + 1;
    const block = M._malloc(count * 4);
    const view = new Uint16Array(M.HEAPU16.buffer, block, count * 2);
    points.forEach(([x, y], i) => { view[2 * i] = x; view[2 * i + 1] = y; });
    view[2 * points.length] = 0xFFFF;
    view[2 * points.length + 1] = 0;
    const held = M._HWKernel_GetStrokeTotal(kernel);
    const start = performance.now();
    const accepted = M._HWKernel_AddStroke(kernel, block, count);
    const took = performance.now() - start;
    M._free(block);
    if (!accepted) {
      status.textContent = `stroke of ${points.length} points refused: the pad is full`;
      return false;
    }
    // A lone point (a tap) is no stroke to the kernel.
    if (M._HWKernel_GetStrokeTotal(kernel) === held) return false;
    status.textContent = `${strokes.length + 1} strokes, ${took.toFixed(1)} ms`;
    window.penruneTimes.push(took);
    return true;
  }

  // Canvas position of a pointer event, in canvas pixels within the canvas.
  function position(event) {
    const rect = pad.getBoundingClientRect();
    const clamp = (v, max) => Math.min(Math.max(Math.round(v), 0), Math.min(max, COORD_MAX));
    return [clamp((event.clientX - rect.left) * pad.width / rect.width, pad.width - 1),
            clamp((event.clientY - rect.top) * pad.height / rect.height, pad.height - 1)];
  }

  function commit(word) {
    text.value += word;
    clear();
  }

  function clear() {
    strokes.length = 0;
    M._HWKernel_Reset(kernel);
    redraw();
    showCandidates();
  }

  pad.addEventListener('pointerdown', (event) => {
    if (event.button !== 0) return;
    pad.setPointerCapture(event.pointerId);
    current = [position(event)];
  });
  pad.addEventListener('pointermove', (event) => {
    if (!current) return;
    // The browser merges moves between frames; the merged ones carry every point.
    const events = event.getCoalescedEvents ? event.getCoalescedEvents() : [event];
    const drawn = current.length;
    for (const e of events.length ? events : [event]) {
      const point = position(e);
      const last = current[current.length - 1];
      if (point[0] !== last[0] || point[1] !== last[1]) current.push(point);
    }
    if (current.length > drawn) drawStroke(current.slice(drawn - 1));
  });
  const end = () => {
    if (!current) return;
    const points = current;
    current = null;
    if (addStroke(points)) strokes.push(points);
    redraw();
    showCandidates();
  };
  pad.addEventListener('pointerup', end);
  pad.addEventListener('pointercancel', end);

  document.getElementById('undo').addEventListener('click', () => {
    if (M._HWKernel_DelStroke(kernel)) strokes.pop();
    redraw();
    showCandidates();
  });
  document.getElementById('clear').addEventListener('click', clear);

  window.penruneTimes = [];
  redraw();
  showCandidates();
  status.textContent = 'ready';
  document.body.dataset.ready = '1';
});
