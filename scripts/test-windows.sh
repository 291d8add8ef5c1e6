#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds Varnoket.exe, varnoket-cli.exe and every test suite for 32-bit
# Windows with mingw-w64, then runs the suites under Wine with ctest, in three
# system code pages: the core and batch suites, the front-end tests that drive
# the real dialogs, and the command line run as a script runs it and writing to
# a console.
#
# Each run gets a fresh Wine prefix, set to a virtual desktop (windows then
# open and close without waiting on an X window manager), and a private Xvfb
# display when none is set.
# Usage: scripts/test-windows.sh [build-dir]   (default: build/windows)
#        VARNOKET_WINE_LOCALES="ja_JP.UTF-8" scripts/test-windows.sh   (one code page)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh all

build="${1:-build/windows}"
jobs=$(nproc)

echo "== Windows: configure and build ($build)" >&2
cmake --preset windows -B "$build"
cmake --build "$build" -j "$jobs"

prefix=$(mktemp -d /tmp/varnoket-wine.XXXXXX)
xvfb_pid=""
cleanup() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  if [[ -n "$xvfb_pid" ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$prefix"
}
trap cleanup EXIT

if [[ -z "${DISPLAY:-}" ]]; then
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [[ -s "$display_file" ]] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$display_file")"
  rm -f "$display_file"
fi

export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="

echo "== Windows: new Wine prefix in $prefix" >&2
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
wineserver -w
# One server and one set of Wine's own background processes for the whole
# run. A process that waits forever keeps them alive, and starting them here
# with no terminal attached keeps them off the pipes through which ctest reads
# each test's output (ctest would otherwise wait for those pipes to close).
wineserver -p
mkfifo "$prefix/hold"
exec 4<>"$prefix/hold"
wine cmd /c pause <"$prefix/hold" >/dev/null 2>&1 &
for _ in $(seq 100); do
  pgrep -f 'explorer.exe /desktop' >/dev/null && break
  sleep 0.2
done

# Every suite runs under a single-byte system code page (1251, Russian) and two
# multi-byte ones (932, Japanese; 936, Chinese). Wine takes the code page
# (GetACP) from the locale's language; it also needs the locale itself, or it
# cannot give files non-ASCII names, so each is compiled here, privately
# (LOCPATH). VARNOKET_WINE_LOCALES chooses some of them.
# Wine's own loader now and then dies of SIGSEGV while a process exits, after
# the test has passed; a test that fails for a reason of its own fails again
# on the second try.
mkdir "$prefix/locale"
locales=(${VARNOKET_WINE_LOCALES:-ru_RU.UTF-8 ja_JP.UTF-8 zh_CN.UTF-8})
for locale in "${locales[@]}"; do
  localedef -i "${locale%.UTF-8}" -f UTF-8 "$prefix/locale/$locale"
done
for locale in "${locales[@]}"; do
  echo "== Windows: tests under Wine, LC_ALL=$locale" >&2
  LOCPATH="$prefix/locale" LC_ALL="$locale" \
    ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 300 --repeat until-pass:2
done
