#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Tests the IBus engine and the pad headless. Installs its Debian packages,
# builds a recognition-only libpenrune with hosts/ibus in build-ibus, then,
# inside a private D-Bus session with a private ibus-daemon (its own
# configuration, cache and socket under a temporary directory, the engine
# found through IBUS_COMPONENT_PATH):
#  1. penrune-ibus-check replays examples/zhongguo.json through the
#     handwriting protocol: first candidate, undo, commits, clearing, bad
#     strokes;
#  2. the pad runs under Xvfb and xdotool writes the same line with the
#     mouse; the first candidate and the commit of a click on it are
#     checked, Undo and Clear too, and hosts/ibus/screenshot.png is saved.
# Every step is bounded in time; any failed check fails the script.
#
# usage: hosts/ibus/test.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
source_dir=$PWD
build=$source_dir/build-ibus
example=$source_dir/examples/zhongguo.json
expected=中国

if [ "${1:-}" != --session ]; then
  scripts/install-deps.sh cmake ninja-build g++ pkg-config libibus-1.0-dev ibus libgtk-3-dev \
    libjson-glib-dev dbus dbus-x11 xvfb xdotool imagemagick fonts-wqy-microhei
  timeout 300 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DPENRUNE_BUILD_TOOLS=OFF -DPENRUNE_BUILD_IBUS=ON >/dev/null
  timeout 600 cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"
  exec timeout 300 dbus-run-session -- "$0" --session
fi

# ---- Inside the private session bus ----------------------------------------
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "ibus test: $*" >&2; exit 1; }

# Nothing of the user's: configuration, cache, data and settings live in
# $work, the daemon listens on its own socket.
mkdir -p "$work/config" "$work/cache" "$work/data" "$work/runtime"
chmod 700 "$work/runtime"
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache \
  XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
export IBUS_ADDRESS=unix:path=$work/ibus.socket
export IBUS_COMPONENT_PATH=$build/hosts/ibus/component
# GTK's own IBus module would add input contexts of its own.
export GTK_IM_MODULE=gtk-im-context-simple

# Polls a condition for up to $1 seconds.
wait_until() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

ibus-daemon --panel=disable --emoji-extension=disable --config=disable --cache=none \
  --address="$IBUS_ADDRESS" >"$work/daemon.log" 2>&1 &
pids+=($!)
wait_until 20 test -S "$work/ibus.socket" || { cat "$work/daemon.log"; fail "ibus-daemon did not start"; }

echo "== the engine through the handwriting protocol"
timeout 120 "$build/hosts/ibus/penrune-ibus-check" "$example" "$expected"
