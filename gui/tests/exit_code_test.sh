#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Drives the real program on a virtual X display from the keyboard: started
# with arguments that it must ignore, it opens its window; Enter presses Clean,
# which with both fields empty shows the "Varnoket" warning box; Esc closes the
# box, and a second Esc ends the program with exit code 2.
# Usage: exit_code_test.sh PROGRAM. Exits 77 (skipped) without Xvfb or xdotool.
set -euo pipefail

program=$1
for tool in Xvfb xdotool xwininfo; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed" >&2
    exit 77
  fi
done

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

source "$(dirname "$0")/../../scripts/lib/x_display.sh"
start_x_display 800x600x24

# Qt would take "-platform offscreen" and never open a window on the display,
# were the command line read.
QT_QPA_PLATFORM=xcb "$program" -platform offscreen --no-such-option /no/such/folder &
program_pid=$!
pids+=("$program_pid")

# Waits for the program's visible window with a title matching $1, gives it the
# keyboard and types the keys that follow.
type_into() {
  local title=$1 window
  shift
  window=$(timeout 60 xdotool search --sync --all --onlyvisible --pid "$program_pid" --name "$title" |
           head -n 1)
  if [[ -z "$window" ]]; then
    echo "FAIL: no window titled $title" >&2
    exit 1
  fi
  xdotool windowfocus --sync "$window" key "$@"
}

type_into "^Очистка SGF" Return
type_into "^Varnoket$" Escape
type_into "^Очистка SGF" Escape

status=0
wait "$program_pid" || status=$?
if [[ $status -ne 2 ]]; then
  echo "FAIL: the program ended with exit code $status, not 2" >&2
  exit 1
fi
echo "PASS: the program ended with exit code 2" >&2
