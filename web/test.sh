#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the WebAssembly library, runs its kernels' equivalence test under
# node (web/test-kernels.sh) and tests the browser pad in headless
# Chromium (web/test.mjs). Installs what it needs: Debian's emscripten,
# chromium, node, npm and a CJK font for the screenshot, and playwright-core
# from the npm registry into web/node_modules. Fails when a check fails or
# when the run takes longer than its time bounds.
#
# usage: web/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# emscripten brings node; npm only when no npm is on the path (a node from
# another source carries its own).
scripts/install-deps.sh emscripten chromium fonts-wqy-microhei
command -v npm >/dev/null || scripts/install-deps.sh npm
timeout 600 web/build.sh
# The WebAssembly SIMD kernels against the scalar ones, under node.
timeout 600 web/test-kernels.sh

# A release whose declared node range includes Debian 12's node 18.
playwright_version=1.58.2
installed=$(node -p "require('./web/node_modules/playwright-core/package.json').version" 2>/dev/null || true)
if [ "$installed" != "$playwright_version" ]; then
  (cd web && timeout 300 npm install --no-save --no-package-lock --no-audit --no-fund \
     "playwright-core@$playwright_version")
fi

timeout 300 node web/test.mjs examples/zhongguo.json 中国
