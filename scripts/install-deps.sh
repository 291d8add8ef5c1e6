#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what building and testing Varnoket needs on Debian 12, skipping the
# package manager entirely when everything is already there.
# Usage: scripts/install-deps.sh [SET]...   (default: all)
#   core     what building the command line needs (run.sh)
#   desktop  the Qt desktop front end and what its tests drive it with
#   test     the test, benchmark, fuzzing and packaging tools
#   windows  the mingw-w64 cross build and Wine
#   all      every set (test.sh)
set -euo pipefail

core=(build-essential cmake ninja-build g++ help2man libarchive-dev)
desktop=(qt6-base-dev qt6-translations-l10n xvfb xauth imagemagick xdotool x11-utils openbox)
test=(libgtest-dev libgmock-dev libbenchmark-dev clang clang-format libclang-rt-14-dev time
      lintian libarchive-tools)
windows=(mingw-w64 wine wine32:i386 wine64 locales dpkg-dev)

packages=()
for set in "${@:-all}"; do
  case $set in
    core) packages+=("${core[@]}") ;;
    desktop) packages+=("${core[@]}" "${desktop[@]}") ;;
    test) packages+=("${core[@]}" "${test[@]}") ;;
    windows) packages+=("${core[@]}" "${windows[@]}") ;;
    all) packages+=("${core[@]}" "${desktop[@]}" "${test[@]}" "${windows[@]}") ;;
    *) echo "install-deps.sh: unknown set '$set' (core, desktop, test, windows, all)" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}" >&2
for package in "${missing[@]}"; do
  if [[ "$package" == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -q i386; then
    $sudo dpkg --add-architecture i386
  fi
done
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
