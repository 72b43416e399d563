#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Tests the IBus engine and the pad headless. Installs its Debian packages,
# builds a recognition-only libpenrune with hosts/ibus in build-ibus, then,
# inside a private D-Bus session with a private ibus-daemon (its own
# configuration, cache and socket under a temporary directory, the engine
# found through IBUS_COMPONENT_PATH):
#  0. (before the session) a staged installation holds the engine where
#     the installed component says, and the pad;
#  1. penrune-ibus-check replays examples/zhongguo.json through the
#     handwriting protocol: first candidate, undo, commits by key and by a
#     click in the panel, clearing, bad strokes;
#  2. the pad runs under Xvfb and xdotool writes the same line with the
#     mouse; every point must reach the engine, the first candidate and the
#     commit of a click on it are checked, Undo and Clear too, and
#     hosts/ibus/screenshot.png is saved.
# Every step is bounded in time; any failed check fails the script.
#
# usage: hosts/ibus/test.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
source_dir=$PWD
build=$source_dir/build-ibus
example=$source_dir/examples/zhongguo.json
expected=中国

fail() { echo "ibus test: $*" >&2; exit 1; }

if [ "${1:-}" != --session ]; then
  scripts/install-deps.sh cmake ninja-build g++ pkg-config libibus-1.0-dev ibus libgtk-3-dev \
    libjson-glib-dev dbus xvfb xdotool imagemagick fonts-wqy-microhei
  timeout 300 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DPENRUNE_BUILD_TOOLS=OFF -DPENRUNE_BUILD_IBUS=ON >/dev/null
  timeout 600 cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"

  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT

  # A packager's staged installation: the engine where the component says.
  DESTDIR=$work/stage cmake --install "$build" >/dev/null
  prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
  component=$work/stage$prefix/share/ibus/component/penrune.xml
  engine=$(sed -n 's|.*<exec>\(.*\) --ibus</exec>.*|\1|p' "$component")
  [ -x "$work/stage$engine" ] && [ -x "$work/stage$prefix/bin/penrune-pad" ] ||
    fail "the staged installation lacks the engine ($engine) or the pad"
  echo "ok   the installation holds $engine, the pad and the component"
  rm -rf "$work/stage"

  # Nothing of the user's: configuration, cache, data and settings live in
  # a temporary directory, the daemon listens on its own socket. Set before
  # the session bus starts, so that what it starts sees the same.
  mkdir -p "$work/config" "$work/cache" "$work/data" "$work/runtime"
  chmod 700 "$work/runtime"
  export PENRUNE_IBUS_TEST_DIR=$work HOME=$work XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache \
    XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
  export IBUS_ADDRESS=unix:path=$work/ibus.socket
  export IBUS_COMPONENT_PATH=$build/hosts/ibus/component
  # GTK's own IBus module would add input contexts of its own.
  export GTK_IM_MODULE=gtk-im-context-simple
  timeout 300 dbus-run-session -- "$0" --session
  exit
fi

# ---- Inside the private session bus ----------------------------------------
work=$PENRUNE_IBUS_TEST_DIR
pids=()
cleanup() {
  local status=$?
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ "$status" != 0 ]; then
    for log in "$work"/*.log "$work"/*.err; do echo "== $log"; tail -n 20 "$log"; done
  fi
}
trap cleanup EXIT

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

echo "== the pad under Xvfb, written with xdotool"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_until 20 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")
pad_log=$work/pad.log
"$build/hosts/ibus/penrune-pad" --log >"$pad_log" 2>"$work/pad.err" &
pids+=($!)
wait_until 30 grep -qs '^geometry clear' "$pad_log" || { cat "$work/pad.err"; fail "the pad did not come up"; }
window=$(timeout 10 xdotool search --sync --name '^penrune pad$' | head -n 1)

passed=0 failed=0
check() {
  if [ "$1" = 0 ]; then echo "ok   $2"; passed=$((passed + 1)); else echo "FAIL $2"; failed=$((failed + 1)); fi
}
# X Y WIDTH HEIGHT of a widget, as the pad last laid it out.
geometry() { grep "^geometry $1 " "$pad_log" | tail -n 1 | cut -d' ' -f3-; }
lines() { grep -c "^$1" "$pad_log" || true; }
more_lines() { [ "$(lines "$1")" -gt "$2" ]; }
last_candidates() { grep '^candidates' "$pad_log" | tail -n 1 | sed 's/^candidates \{0,1\}//'; }
# Waits for one more line starting with $1 after running the rest.
after() {
  local prefix=$1 before
  shift
  before=$(lines "$prefix")
  "$@"
  wait_until 10 more_lines "$prefix" "$before"
}
click() {
  local x y w h
  read -r x y w h <<<"$(geometry "$1")"
  xdotool mousemove --window "$window" $((x + w / 2)) $((y + h / 2)) click 1
}
# One stroke, "x y x y ..." in area pixels: press, every point, release.
write() {
  local ax ay aw ah args=() first=1
  read -r ax ay aw ah <<<"$(geometry area)"
  set -- $1
  while [ $# -ge 2 ]; do
    args+=(mousemove --window "$window" $((ax + $1)) $((ay + $2)))
    [ $first = 1 ] && args+=(mousedown 1) && first=0
    shift 2
  done
  xdotool "${args[@]}" mouseup 1
}

read -r _ _ area_width area_height <<<"$(geometry area)"
mapfile -t strokes < <("$build/hosts/ibus/penrune-ibus-check" --points "$area_width" "$area_height" "$example")
answered=0 lists=()
for stroke in "${strokes[@]}"; do
  after candidates write "$stroke" && answered=$((answered + 1))
  lists+=("$(last_candidates)")
done
echo "     candidates after ${#strokes[@]} strokes: ${lists[-1]}"
check $([ "$answered" = "${#strokes[@]}" ]; echo $?) "the bar changes after every stroke"
# Every position the mouse went to, repeats aside, reached the engine: GTK
# merged no motion events.
moved=$(printf '%s\n' "${strokes[@]}" | awk '{ n = 0; for (i = 1; i < NF; i += 2) if (i == 1 || $i != $(i - 2) || $(i + 1) != $(i - 1)) n++; total += n } END { print total }')
sent=$(awk '/^stroke / { total += $2 } END { print total }' "$pad_log")
check $([ "$sent" = "$moved" ]; echo $?) "the pad sends every point the mouse moved through ($sent of $moved)"
check $([ "${lists[-1]%% *}" = "$expected" ]; echo $?) "the first candidate is $expected"
# The log line comes just before GTK paints the bar.
sleep 1
import -window "$window" "$source_dir/hosts/ibus/screenshot.png"

after candidates click undo
check $([ "$(last_candidates)" = "${lists[-2]}" ]; echo $?) "Undo brings back the previous list"
after candidates write "${strokes[-1]}"
check $([ "$(last_candidates)" = "${lists[-1]}" ]; echo $?) "writing the last stroke again gives the same list"
after commit click slot1
check $(grep -qx "commit $expected" "$pad_log"; echo $?) "a click on the first candidate commits $expected"
check $([ -z "$(last_candidates)" ]; echo $?) "the commit empties the bar"
after candidates write "${strokes[0]}"
after candidates click clear
check $([ -z "$(last_candidates)" ]; echo $?) "Clear empties the bar"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
