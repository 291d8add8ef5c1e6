#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what building and testing Varnoket needs on Debian 12, skipping the
# package manager entirely when everything is already there.
# Usage: scripts/install-deps.sh [core|all]   (default: all)
set -euo pipefail

want="${1:-all}"
core=(build-essential cmake ninja-build g++ clang clang-format libclang-rt-14-dev libgtest-dev
      libgmock-dev libbenchmark-dev time help2man)
desktop=(qt6-base-dev qt6-translations-l10n xvfb xauth imagemagick xdotool x11-utils openbox)
windows=(mingw-w64 wine wine32:i386 wine64 locales)

packages=("${core[@]}")
if [[ "$want" == all ]]; then
  packages+=("${desktop[@]}" "${windows[@]}")
fi

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
