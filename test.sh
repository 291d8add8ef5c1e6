#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, checks that the sources are formatted as
# .clang-format says, then builds and runs every test: a newcomer's first
# command (./run.sh in a fresh release tree), the development build (with
# the Linux desktop front end), the AddressSanitizer +
# UndefinedBehaviorSanitizer build (with clang, so that neither compiler's
# quirks hide), a short fuzzing run, the Debian packages checked by lintian,
# and the Windows program and test suites under Wine.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh all

jobs=$(nproc)

echo "== formatting" >&2
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

echo "== a newcomer's first command: ./run.sh in a fresh release tree" >&2
rm -rf build/release build/bin build/examples-clean
./run.sh
ls build/examples-clean/*.sgf >/dev/null

echo "== development build" >&2
cmake --preset dev -DVARNOKET_GUI=ON
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs"

echo "== sanitizer build" >&2
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

echo "== fuzzing" >&2
scripts/fuzz.sh 30

echo "== Debian packages, checked by lintian" >&2
rm -rf build/deb
cmake --preset deb
cmake --build --preset deb -j "$jobs"
cpack --preset deb
lintian --fail-on error,warning build/deb/*.deb

if [[ -x scripts/test-windows.sh ]]; then
  echo "== Windows build under Wine" >&2
  scripts/test-windows.sh
fi

echo "All tests passed." >&2
