#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer target with clang and runs it for the given number of
# seconds (default 60), seeded with fuzz/seeds/, the examples and, when
# present, a sample of the shared corpus. Extra arguments go to the fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/seeds" "$work/corpus"
cp fuzz/seeds/*.sgf "$work/seeds/"
cp examples/*.sgf "$work/seeds/"
for folder in annotated old-format odd multi-game cjk-legacy; do
  if [[ -d ../shared/corpus/$folder ]]; then
    mapfile -t files < <(find "../shared/corpus/$folder" -type f -size -20k | sort | head -40)
    for f in "${files[@]}"; do
      cp "$f" "$work/seeds/$folder-$(md5sum < "$f" | cut -c1-12).sgf"
    done
  fi
done

build/fuzz/bin/sgf_fuzzer -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -dict=fuzz/sgf.dict -print_final_stats=1 "$@" "$work/corpus" "$work/seeds"
