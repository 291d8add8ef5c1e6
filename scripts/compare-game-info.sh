#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks cleaned files with an independent SGF reader: reads every *.sgf file
# below SOURCE and its cleaned copy below CLEANED with @sabaki/sgf (installed
# from npm into build/independent-reader/ on first use) and compares the
# players, date, result and komi of their first games. Not part of the build
# or of test.sh.
#
#   scripts/compare-game-info.sh SOURCE CLEANED
#   e.g. build/bin/varnoket-cli -r ../shared/corpus /tmp/clean &&
#        scripts/compare-game-info.sh ../shared/corpus /tmp/clean
set -euo pipefail
if [[ $# -ne 2 ]]; then
  echo "usage: $0 SOURCE CLEANED" >&2
  exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"
reader="$here/../build/independent-reader"
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "$0: node and npm are needed (apt-get install nodejs npm)" >&2
  exit 2
fi
if [[ ! -d $reader/node_modules/@sabaki/sgf ]]; then
  mkdir -p "$reader"
  npm install --prefix "$reader" --no-audit --no-fund --silent @sabaki/sgf@3 >&2
fi
NODE_PATH="$reader/node_modules" exec node "$here/lib/compare_game_info.js" "$1" "$2"
