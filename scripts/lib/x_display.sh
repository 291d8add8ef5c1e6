# SPDX-License-Identifier: MIT
# Shared by the scripts that run a program on a private X display: the display,
# a window manager for frames and captions, and window photographs.
# Source it; the caller keeps a "pids" array of processes to kill on exit.

# Starts Xvfb on a free display number and exports DISPLAY; sets root_window.
start_x_display() {
  local size=${1:-1024x768x24} display_file
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 300); do
    [[ -s "$display_file" ]] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n 1 "$display_file")"
  rm -f "$display_file"
  root_window=$(xwininfo -root | sed -n 's/^xwininfo: Window id: \(0x[0-9a-f]*\).*/\1/p')
}

# Starts Openbox with its configuration written to "$1" and waits until it
# manages the display. Openbox draws a maximise button even on a window that
# cannot be maximised; the title layout leaves it out, as desktops that honour
# the window's hints do.
start_openbox() {
  local config=$1
  sed 's|<titleLayout>[A-Z]*</titleLayout>|<titleLayout>NLIC</titleLayout>|' \
    /etc/xdg/openbox/rc.xml >"$config"
  openbox --config-file "$config" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
  done
}

# The outermost window that holds "$1": the frame a window manager drew around
# it, or the window itself.
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

# Waits for a visible window whose title matches "$1" (further arguments narrow
# the xdotool search, such as --pid), focuses it so that its caption shows as
# active, saves it with its frame to "$2" and prints its window id.
photograph() {
  local title=$1 file=$2 window
  shift 2
  window=$(timeout 60 xdotool search --sync --all --onlyvisible "$@" --name "$title" | head -n 1)
  xdotool windowfocus --sync "$window"
  sleep 2  # let the program and the window manager paint
  import -window "$(outer_window "$window")" "$file"
  echo "saved $file ($(identify -format '%wx%h' "$file"))" >&2
  echo "$window"
}
