#!/usr/bin/env bash
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

# The X server picks a free display number and writes it to a file.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  [[ -s "$display_file" ]] && break
  sleep 0.1
done
export DISPLAY=":$(head -n 1 "$display_file")"
rm -f "$display_file"
root_window=$(xwininfo -root | sed -n 's/^xwininfo: Window id: \(0x[0-9a-f]*\).*/\1/p')

if command -v openbox >/dev/null; then
  # Openbox draws a maximise button even on a window that cannot be maximised;
  # leave it out, as desktops that honour the window's hints do.
  openbox_config=$(mktemp --suffix=.xml)
  sed 's|<titleLayout>[A-Z]*</titleLayout>|<titleLayout>NLIC</titleLayout>|' \
    /etc/xdg/openbox/rc.xml >"$openbox_config"
  openbox --config-file "$openbox_config" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
  done
else
  echo "screenshot-linux: no Openbox, so the windows are photographed without a frame" >&2
fi

# The outermost window that holds "window": the frame a window manager drew
# around it, or the window itself.
outer_window() {
  local window=$1 parent
  while :; do
    parent=$(xwininfo -tree -id "$window" | sed -n 's/^ *Parent window id: \(0x[0-9a-f]*\).*/\1/p')
    if [[ -z "$parent" || "$((parent))" -eq "$((root_window))" ]]; then
      echo "$window"
      return
    fi
    window=$parent
  done
}

# Waits for a visible window of the program whose title matches, then saves it.
photograph() {
  local title=$1 file=$2 window
  window=$(timeout 30 xdotool search --sync --all --onlyvisible --pid "$app_pid" --name "$title" | head -n 1)
  # Focused, so that the frame shows an active caption.
  xdotool windowfocus --sync "$window"
  sleep 2  # let the program and the window manager paint
  import -window "$(outer_window "$window")" "$file"
  echo "saved $file" >&2
  echo "$window"
}

LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb "$binary" ignored --arguments &
app_pid=$!
pids+=("$app_pid")

main_window=$(photograph "^Очистка SGF" "$out_dir/screenshot-linux.png")

# Tab twice from Clean reaches "О программе..."; Space presses it.
xdotool windowfocus --sync "$main_window" key Tab Tab space
about_window=$(photograph "^О программе$" "$out_dir/screenshot-linux-about.png")

xdotool windowfocus --sync "$about_window" key Escape
xdotool windowfocus --sync "$main_window" key Escape
status=0
wait "$app_pid" || status=$?
if [[ $status -ne 2 ]]; then
  echo "screenshot-linux: the program ended with $status, not 2" >&2
  exit 1
fi
echo "the program ended with exit code 2" >&2
