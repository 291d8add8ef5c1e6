#!/usr/bin/env bash
# Times the command line against copying, on a RAM disk.
#
#   bench/run.sh [CORPUS]      (default: ../shared/corpus-big)
#
# Copies CORPUS into a tmpfs folder (/dev/shm), then alternates
#   cp -r SRC DST,  varnoket-cli -j 1 SRC DST,  varnoket-cli SRC DST (default jobs)
# deleting DST before every run, RUNS times each (default 7), and prints for
# each command the median wall time, files/s and MB/s of SGF input, the peak
# resident memory and the ratio to cp -r. A corpus with subfolders is cleaned
# with -r. The release build (build/bin/varnoket-cli) is built first when
# needed; VARNOKET_CLI names another binary to time instead.
set -euo pipefail
cd "$(dirname "$0")/.."

corpus="${1:-../shared/corpus-big}"
runs="${RUNS:-7}"
cli="${VARNOKET_CLI:-build/bin/varnoket-cli}"

[[ -d "$corpus" ]] || { echo "bench/run.sh: no corpus folder at $corpus" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "bench/run.sh: needs GNU time (apt-get install time)" >&2; exit 2; }
if [[ -z "${VARNOKET_CLI:-}" ]]; then
  [[ -f build/build.ninja ]] || cmake --preset release >/dev/null
  cmake --build --preset release --target varnoket-cli -j 2 >/dev/null
fi
cli="$(realpath "$cli")"

work=$(mktemp -d /dev/shm/varnoket-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
src="$work/src"
dst="$work/dst"
cp -r "$corpus" "$src"

recursive=()
if [[ -n "$(find "$src" -mindepth 1 -maxdepth 1 -type d -print -quit)" ]]; then
  recursive=(-r)
  sgf=$(find "$src" -type f -iname '*.sgf' -printf '%s\n')
else
  sgf=$(find "$src" -maxdepth 1 -type f -iname '*.sgf' -printf '%s\n')
fi
files=$(wc -l <<<"$sgf")
bytes=$(awk '{ s += $1 } END { print s + 0 }' <<<"$sgf")

names=("cp -r" "varnoket-cli -j 1" "varnoket-cli (-j $(nproc))")
commands=("cp -r $src $dst"
          "$cli -q ${recursive[*]} -j 1 $src $dst"
          "$cli -q ${recursive[*]} $src $dst")
declare -a times rss
for ((i = 0; i < ${#commands[@]}; ++i)); do times[i]=""; rss[i]=""; done

# Runs one command once: appends its wall time (s) and peak RSS (KB).
run_once() {
  local i=$1 start end kb
  rm -rf "$dst"
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$work/rss" ${commands[i]} >/dev/null 2>&1 || true
  end=$(date +%s%N)
  kb=$(tail -n 1 "$work/rss")
  times[i]+="$(( (end - start) / 1000 )) "
  rss[i]+="$kb "
}

median() { tr ' ' '\n' | awk 'NF' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "corpus: $corpus ($files SGF files, $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }') MB)," \
  "copied to $src; $runs alternating runs each; $(nproc) cores; load:$(uptime | sed 's/.*load average://')"
for ((r = 0; r < runs; ++r)); do
  for ((i = 0; i < ${#commands[@]}; ++i)); do run_once "$i"; done
done

# The outputs of -j 1 and of the default must be the same bytes.
rm -rf "$dst" "$work/one"
$cli -q "${recursive[@]}" -j 1 "$src" "$work/one" 2>/dev/null || true
$cli -q "${recursive[@]}" "$src" "$dst" 2>/dev/null || true
if diff -r -q "$work/one" "$dst" >/dev/null; then same="identical"; else same="DIFFERENT"; fi

base=$(median <<<"${times[0]}")
printf '\n%-26s %10s %10s %8s %14s %8s\n' "command" "median s" "files/s" "MB/s" "peak RSS MB" "x cp -r"
for ((i = 0; i < ${#commands[@]}; ++i)); do
  us=$(median <<<"${times[i]}")
  kb=$(tr ' ' '\n' <<<"${rss[i]}" | awk 'NF' | sort -n | tail -n 1)
  awk -v n="${names[i]}" -v us="$us" -v base="$base" -v f="$files" -v b="$bytes" -v kb="$kb" 'BEGIN {
    s = us / 1e6
    printf "%-26s %10.3f %10.0f %8.1f %14.1f %8.2f\n", n, s, f / s, b / 1e6 / s, kb / 1024, us / base
  }'
done
echo
echo "outputs of -j 1 and the default: $same; load after:$(uptime | sed 's/.*load average://')"
