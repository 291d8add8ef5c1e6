#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Takes the README's pictures of the Windows program: Varnoket.exe runs under
# Wine on a private Xvfb display under Openbox (the same frame as the Linux
# pictures, so the two sit side by side), and is driven with the keyboard.
#   docs/screenshot-windows.png        the main dialog with two folders typed in
#   docs/screenshot-windows-about.png  the About box
# Usage: scripts/screenshot-windows.sh [build-dir]   (default: build/windows)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh all

build="${1:-build/windows}"
exe="$build/bin/Varnoket.exe"
if [[ ! -f "$exe" ]]; then
  cmake --preset windows -B "$build" -DVARNOKET_TESTS=OFF
  cmake --build "$build" -j "$(nproc)" --target Varnoket
fi

work=$(mktemp -d /tmp/varnoket-shot.XXXXXX)
pids=()
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

source scripts/lib/x_display.sh
start_x_display
start_openbox "$work/openbox.xml"

export WINEPREFIX="$work/prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo "== new Wine prefix" >&2
wineboot -i >/dev/null 2>&1
wineserver -w

wine "$exe" >/dev/null 2>&1 &
program_pid=$!
pids+=("$program_pid")

mkdir -p docs
main_window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Очистка SGF' | head -n 1)
xdotool windowfocus --sync "$main_window"
sleep 2
# Clean has the focus: Tab three times reaches the source field. Then on
# through the destination field and both browse buttons back to Clean.
xdotool key --delay 100 Tab Tab Tab
xdotool type --delay 30 'C:\Go\Games'
xdotool key --delay 100 Tab
xdotool type --delay 30 'C:\Go\Clean'
xdotool key --delay 100 Tab Tab Tab
photograph '^Очистка SGF' docs/screenshot-windows.png >/dev/null

# Tab twice from Clean reaches "О программе..."; Space presses it.
xdotool windowfocus --sync "$main_window" key --delay 100 Tab Tab space
about_window=$(photograph '^О программе$' docs/screenshot-windows-about.png)

xdotool windowfocus --sync "$about_window" key Escape
sleep 1
xdotool windowfocus --sync "$main_window" key Escape
status=0
wait "$program_pid" || status=$?
if [[ "$status" -ne 2 ]]; then
  echo "screenshot-windows: Varnoket.exe ended with $status, not 2" >&2
  exit 1
fi
echo "Varnoket.exe ended with exit code 2" >&2
