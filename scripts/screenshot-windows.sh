#!/usr/bin/env bash
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

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
root_window=$(xwininfo -root | sed -n 's/^xwininfo: Window id: \(0x[0-9a-f]*\).*/\1/p')

# Openbox draws a maximise button even on a window that cannot be maximised;
# leave it out, as desktops that honour the window's hints do.
sed 's|<titleLayout>[A-Z]*</titleLayout>|<titleLayout>NLIC</titleLayout>|' \
  /etc/xdg/openbox/rc.xml >"$work/openbox.xml"
openbox --config-file "$work/openbox.xml" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done

export WINEPREFIX="$work/prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo "== new Wine prefix" >&2
wineboot -i >/dev/null 2>&1
wineserver -w

# The outermost window that holds "window": the frame Openbox drew around it.
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

# Waits for a visible window whose title matches, focuses it and saves it.
photograph() {
  local title=$1 file=$2 window
  window=$(timeout 60 xdotool search --sync --onlyvisible --name "$title" | head -n 1)
  xdotool windowfocus --sync "$window"
  sleep 2  # let Wine and the window manager paint
  import -window "$(outer_window "$window")" "$file"
  echo "saved $file ($(identify -format '%wx%h' "$file"))" >&2
  echo "$window"
}

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
