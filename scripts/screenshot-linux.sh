#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Photographs the Linux desktop front end for the README: runs it on a virtual
# X display (under Openbox when it is installed, so the window has its frame
# and caption), saves the main window and the About box as PNGs, then closes
# both from the keyboard and checks that the program ends with exit code 2.
#
# Usage: scripts/screenshot-linux.sh [OUTPUT_DIR]   (default: docs)
# VARNOKET_GUI_BINARY names a built program to use instead of building one.
set -euo pipefail
cd "$(dirname "$0")/.."

out_dir="${1:-docs}"
mkdir -p "$out_dir"

for tool in Xvfb xdotool xwininfo import; do
  if ! command -v "$tool" >/dev/null; then
    echo "screenshot-linux: $tool is missing; run scripts/install-deps.sh all" >&2
    exit 1
  fi
done

binary="${VARNOKET_GUI_BINARY:-}"
if [[ -z "$binary" ]]; then
  build_dir=build/screenshot
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNOKET_GUI=ON \
    -DVARNOKET_TESTS=OFF >/dev/null
  cmake --build "$build_dir" --target varnoket -j "$(nproc)"
  binary="$build_dir/bin/varnoket"
fi

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -f "${openbox_config:-}"
  wait 2>/dev/null || true
}
trap cleanup EXIT

source scripts/lib/x_display.sh
start_x_display
if command -v openbox >/dev/null; then
  openbox_config=$(mktemp --suffix=.xml)
  start_openbox "$openbox_config"
else
  echo "screenshot-linux: no Openbox, so the windows are photographed without a frame" >&2
fi

LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb "$binary" ignored --arguments &
app_pid=$!
pids+=("$app_pid")

main_window=$(photograph "^Очистка SGF" "$out_dir/screenshot-linux.png" --pid "$app_pid")

# Tab twice from Clean reaches "О программе..."; Space presses it.
xdotool windowfocus --sync "$main_window" key Tab Tab space
about_window=$(photograph "^О программе$" "$out_dir/screenshot-linux-about.png" --pid "$app_pid")

xdotool windowfocus --sync "$about_window" key Escape
xdotool windowfocus --sync "$main_window" key Escape
status=0
wait "$app_pid" || status=$?
if [[ $status -ne 2 ]]; then
  echo "screenshot-linux: the program ended with $status, not 2" >&2
  exit 1
fi
echo "the program ended with exit code 2" >&2
