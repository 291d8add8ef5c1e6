#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times the command line against copying.
#
#   bench/run.sh [CORPUS]          on a RAM disk (/dev/shm): fresh runs
#   bench/run.sh --disk [CORPUS]   on a real disk folder: fresh runs, runs into
#                                  a full destination, and in-place runs
#   bench/run.sh --collection [FILE]
#                                  one collection on the RAM disk: cp, the
#                                  default run (first game), --all-games and
#                                  --split
#   bench/run.sh --archives [CORPUS]
#                                  the corpus packed as .tar.bz2, .zip and
#                                  .tar.zst on the RAM disk: unpacking with
#                                  bsdtar then cleaning the folder, against
#                                  cleaning the archive itself
#
# Collection mode times one file of many games (FILE, or one made up first:
# GAMES games, default 150,000, of 150 to 300 moves as self-play records are,
# the middle one never closed) for  cp FILE DST,  varnoket-cli FILE DST,
# varnoket-cli --all-games FILE DST  and  varnoket-cli --split FILE DSTDIR,
# all with the default jobs. Its files/s column counts games; the one broken
# game is the only failure accepted. It works on the RAM disk, or in a folder
# under $BENCH_DIR (a real disk, synced before each run; varnoket-cli ends
# every run with a flush, cp does not).
#
# Archives mode packs the corpus with bsdtar first (untimed), then for each
# format times  bsdtar -xf A -C X && varnoket-cli -r X DST  against
# varnoket-cli -r A DST, both with the default jobs; its ratio column is the
# archive run over the unpack-then-clean run of the same format (the target
# is at most 1.0).
#
# CORPUS defaults to ../shared/corpus-big. It is copied into the work folder
# first; a corpus with subfolders is cleaned with -r.
#
# RAM mode alternates  cp -r SRC DST,  varnoket-cli -j 1 SRC DST  and
# varnoket-cli SRC DST (default jobs), deleting DST before every run.
#
# Disk mode works in a folder under $BENCH_DIR (default /var/tmp), which must
# be on a real disk, not tmpfs, with room (and inodes) for the output of every
# run (it is deleted only at the end). It alternates three kinds of run, each
# timed for cp -r, varnoket-cli -j 1 and varnoket-cli:
#   fresh   into a new folder               (cp -r SRC DST, and cp -r followed
#                                            by sync, since every run of
#                                            varnoket-cli ends with one flush;
#                                            and the physical floor of a copy
#                                            made durable file by file: each
#                                            file copied and fsync'ed before
#                                            the next)
#   full    into the full destination that a fresh clean left
#                                           (cp -r SRC/. DST: over every file)
#   inplace over a fresh copy of the corpus (cp -r: the same copy into a new
#                                            folder, for scale)
# The floor takes minutes a run; FLOOR=0 leaves it out.
# Everything a run needs is prepared, and the disk synced, before the clock
# starts; a run that replaces files waits for the disk as part of its work.
# To time an ext4 file system without the discard option, mount one on a loop
# device and point BENCH_DIR there:
#   truncate -s 14G /var/tmp/ext4.img && mkfs.ext4 -q -N 2000000 /var/tmp/ext4.img
#   mkdir -p /mnt/ext4 && mount -o loop,nodiscard /var/tmp/ext4.img /mnt/ext4
#   BENCH_DIR=/mnt/ext4 bench/run.sh --disk
#
# Every command runs RUNS times (default 7 on the RAM disk, 5 on disk); the
# table gives the median wall time, files/s and MB/s of SGF input, the peak
# resident memory, the ratio to its baseline (RAM: cp -r; disk: cp -r followed
# by sync for a fresh run, and the fresh run of the same command for the
# others; archives: the unpack-then-clean run of the same format), and the
# target for that ratio, marked "missed" when it is. Any command that fails
# stops the benchmark with its error output; for varnoket-cli only "no game
# found" and "the game record is cut short" are accepted, for files that hold
# no whole game. The release build (build/bin/varnoket-cli) is built
# first when needed; VARNOKET_CLI names another binary to time instead.
set -euo pipefail
cd "$(dirname "$0")/.."

die() { echo "bench/run.sh: $*" >&2; exit 2; }

# Removes folders, many files at once: where the disk is told of every freed
# block as it is freed, one file at a time takes minutes.
remove() {
  local folder
  for folder in "$@"; do
    if [[ -d "$folder" ]]; then
      find "$folder" -type f -print0 | xargs -0 -r -n 256 -P 16 rm -f
      rm -rf "$folder"
    fi
  done
}

disk=0
collection=0
archives=0
if [[ "${1:-}" == "--disk" ]]; then
  disk=1
  shift
elif [[ "${1:-}" == "--archives" ]]; then
  archives=1
  shift
elif [[ "${1:-}" == "--collection" ]]; then
  collection=1
  shift
fi
corpus="${1:-../shared/corpus-big}"
if ((collection)); then corpus="${1:-}"; fi
runs="${RUNS:-$((disk ? 5 : 7))}"
cli="${VARNOKET_CLI:-build/bin/varnoket-cli}"

if ((!collection)); then [[ -d "$corpus" ]] || die "no corpus folder at $corpus"; fi
[[ -x /usr/bin/time ]] || die "needs GNU time (apt-get install time)"
if [[ -z "${VARNOKET_CLI:-}" ]]; then
  [[ -f build/release/build.ninja ]] || cmake --preset release >/dev/null
  cmake --build --preset release --target varnoket-cli -j 2 >/dev/null
fi
cli="$(realpath "$cli")"
[[ -x "$cli" ]] || die "no program at $cli"

if ((disk)); then
  root="${BENCH_DIR:-/var/tmp}"
  case "$(stat -f -c %T "$root")" in
    tmpfs | ramfs) die "$root is a RAM disk; set BENCH_DIR to a folder on a real disk" ;;
  esac
elif ((collection)); then
  root="${BENCH_DIR:-/dev/shm}"
else
  root=/dev/shm
fi
work=$(mktemp -d "$root/varnoket-bench.XXXXXX")
# On a real disk the disk is synced before every run.
case "$(stat -f -c %T "$work")" in
  tmpfs | ramfs) ondisk=$disk ;;
  *) ondisk=1 ;;
esac
trap 'remove "$work"' EXIT
src="$work/src"
dst="$work/dst"
recursive=()
if ((collection)); then
  src="$work/all.sgf"
  if [[ -n "$corpus" ]]; then
    cp "$corpus" "$src"
  else
    # Self-play records on one line each, as large collections hold them.
    awk -v games="${GAMES:-150000}" 'BEGIN {
      srand(7)
      broken = int(games / 2)
      for (i = 1; i <= games; ++i) {
        line = sprintf("(;GM[1]FF[4]RU[Chinese]DT[2018-03-%02d]SZ[19]KM[7.5]PB[Leela Zero %d]PW[Leela Zero %d]RE[%s]", \
                       i % 28 + 1, i % 17, i % 13, i % 2 ? "B+R" : "W+R")
        moves = 150 + int(rand() * 151)
        for (k = 0; k < moves; ++k)
          line = line sprintf(";%s[%c%c]", k % 2 ? "W" : "B", 97 + int(rand() * 19), 97 + int(rand() * 19))
        print (i == broken ? line : line ")")
      }
    }' >"$src"
  fi
  files=$(grep -c '(;' "$src" || true)
  bytes=$(stat -c %s "$src")
elif cp -r "$corpus" "$src" && chmod -R u+w "$src" &&  # a read-only corpus is refused in place
  [[ -n "$(find "$src" -mindepth 1 -maxdepth 1 -type d -print -quit)" ]]; then
  recursive=(-r)
  sgf=$(find "$src" -type f -iname '*.sgf' -printf '%s\n')
else
  sgf=$(find "$src" -maxdepth 1 -type f -iname '*.sgf' -printf '%s\n')
fi
if ((!collection)); then
  files=$(wc -l <<<"$sgf")
  bytes=$(awk '{ s += $1 } END { print s + 0 }' <<<"$sgf")
fi
jobs=$(nproc)

# The commands: a label, the preparation before the clock starts, the index
# of the command its ratio is taken to, the target for that ratio ("-" for
# none), and the command itself (the rest of the words).
labels=()
prepare=()
bases=()
targets=()
declare -a cmd_0 cmd_1 cmd_2 cmd_3 cmd_4 cmd_5 cmd_6 cmd_7 cmd_8 cmd_9 cmd_10
add() {
  local i=${#labels[@]}
  labels+=("$1")
  prepare+=("$2")
  bases+=("$3")
  targets+=("$4")
  local -n words="cmd_$i"
  words=("${@:5}")
}
if ((archives)); then
  command -v bsdtar >/dev/null || die "needs bsdtar (apt-get install libarchive-tools)"
  # Unpacking, then cleaning the folder unpacked, as one command.
  printf '#!/usr/bin/env bash\nmkdir %q && bsdtar -xf "$1" -C %q && exec %q -q -r %q %q\n' \
    "$work/x" "$work/x" "$cli" "$work/x" "$dst" >"$work/unpack-clean"
  chmod +x "$work/unpack-clean"
  for format in tar.bz2 zip tar.zst; do
    case $format in
      tar.bz2) bsdtar -cjf "$work/A.$format" -C "$src" . ;;
      zip) bsdtar -c --format zip -f "$work/A.$format" -C "$src" . ;;
      tar.zst) bsdtar -c --zstd -f "$work/A.$format" -C "$src" . ;;
    esac
    unpack=${#labels[@]}
    add "bsdtar -xf + varnoket-cli ($format)" fresh "$unpack" - "$work/unpack-clean" "$work/A.$format"
    add "varnoket-cli A.$format" fresh "$unpack" 1.0 "$cli" -q -r "$work/A.$format" "$dst"
  done
elif ((collection)); then
  add "cp" fresh 0 - cp "$src" "$dst.sgf"
  add "varnoket-cli (first game)" fresh 0 - "$cli" -q "$src" "$dst.sgf"
  add "varnoket-cli --all-games" fresh 0 - "$cli" -q --all-games "$src" "$dst.sgf"
  add "varnoket-cli --split" folder 0 - "$cli" -q --split "$src" "$dst"
elif ((disk)); then
  add "fresh: cp -r" fresh 0 - cp -r "$src" "$dst"
  add "fresh: cp -r, then sync" fresh 1 - sh -c 'cp -r "$1" "$2" && sync -f "$2"' - "$src" "$dst"
  add "fresh: varnoket-cli -j 1" fresh 1 1.0 "$cli" -q "${recursive[@]}" -j 1 "$src" "$dst"
  add "fresh: varnoket-cli (-j $jobs)" fresh 1 1.0 "$cli" -q "${recursive[@]}" "$src" "$dst"
  # Each file copied and flushed before the next, as a durable copy one file
  # at a time must be (one process for the whole tree).
  command -v python3 >/dev/null || die "needs python3 for the copy with fsync per file"
  cat >"$work/copy-fsync" <<'PY'
import os, sys
src, dst = sys.argv[1], sys.argv[2]
for folder, _, names in os.walk(src):
    out = os.path.join(dst, os.path.relpath(folder, src))
    os.makedirs(out, exist_ok=True)
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        fd = os.open(os.path.join(out, name), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        os.write(fd, data)
        os.fsync(fd)
        os.close(fd)
PY
  if [[ "${FLOOR:-1}" != 0 ]]; then
    add "fresh: cp, fsync per file" fresh 1 - python3 "$work/copy-fsync" "$src" "$dst"
  fi
  add "full: cp -r" full 0 - cp -r "$src/." "$dst"
  add "full: varnoket-cli -j 1" full 2 1.5 "$cli" -q "${recursive[@]}" -j 1 "$src" "$dst"
  add "full: varnoket-cli (-j $jobs)" full 3 1.5 "$cli" -q "${recursive[@]}" "$src" "$dst"
  add "in place: cp -r" inplace 0 - cp -r "$work/in" "$dst"
  add "in place: varnoket-cli -j 1" inplace 2 1.5 "$cli" -q "${recursive[@]}" -j 1 "$work/in" "$work/in"
  add "in place: varnoket-cli (-j $jobs)" inplace 3 1.5 "$cli" -q "${recursive[@]}" "$work/in" "$work/in"
else
  add "cp -r" fresh 0 - cp -r "$src" "$dst"
  add "varnoket-cli -j 1" fresh 0 1.3 "$cli" -q "${recursive[@]}" -j 1 "$src" "$dst"
  add "varnoket-cli (-j $jobs)" fresh 0 0.8 "$cli" -q "${recursive[@]}" "$src" "$dst"
fi
count=${#labels[@]}
declare -a times rss
for ((i = 0; i < count; ++i)); do times[i]=""; rss[i]=""; done

# Moves folders out of the way. On disk nothing is deleted until the end:
# creating files right after deleting many is slow on some file systems (ext4
# without a journal skips every recently freed inode), and that would be
# charged to the next run.
retired=0
retire() {
  local folder
  for folder in "$@"; do
    if [[ ! -e "$folder" ]]; then continue; fi
    if ((disk)); then
      mkdir -p "$work/retired"
      mv "$folder" "$work/retired/$((retired++))"
    else
      rm -rf "$folder"
    fi
  done
}

# Puts the folders in the state command "i" starts from.
prepare_for() {
  retire "$dst" "$work/in" "$dst.sgf" "$work/x"
  case "${prepare[$1]}" in
    fresh) ;;
    folder) mkdir "$dst" ;;
    full) untimed "$cli" -q "${recursive[@]}" "$src" "$dst" ;;
    inplace) cp -r "$src" "$work/in" ;;
  esac
  if ((ondisk)); then sync -f "$work"; fi
}

# Stops the benchmark when the command "$2..." ended with status $1; its
# error output is in $work/err. varnoket-cli may end with 1 when the only
# failures are files without a game.
check() {
  local status=$1
  shift
  if ((status == 0)); then return; fi
  if [[ "$1" == "$cli" || "$1" == "$work/unpack-clean" ]] && ((status == 1)) &&
    ! grep -Eqv ': no game found$|: the game record is cut short$|: game [0-9]+ at byte [0-9]+: ' \
      "$work/err"; then
    return
  fi
  echo "bench/run.sh: command failed with status $status:" >&2
  printf ' %q' "$@" >&2
  echo >&2
  head -n 20 "$work/err" >&2
  exit 1
}

# Runs command "i" once: appends its wall time (us) and peak RSS (KB).
run_once() {
  local i=$1 start end status=0
  local -n words="cmd_$i"
  prepare_for "$i"
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$work/rss" -- "${words[@]}" >/dev/null 2>"$work/err" || status=$?
  end=$(date +%s%N)
  check "$status" "${words[@]}"
  times[i]+="$(((end - start) / 1000)) "
  rss[i]+="$(tail -n 1 "$work/rss") "
}

# Runs a command that is not timed, and stops when it fails.
untimed() {
  local status=0
  "$@" >/dev/null 2>"$work/err" || status=$?
  check "$status" "$@"
}

median() { tr ' ' '\n' | awk 'NF' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "corpus: ${corpus:-a made-up collection} ($files $( ((collection)) && echo games || echo SGF files), $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }') MB)," \
  "copied to $src ($(stat -f -c %T "$work")); $runs alternating runs each; $jobs cores;" \
  "load:$(uptime | sed 's/.*load average://')"
for ((r = 0; r < runs; ++r)); do
  for ((i = 0; i < count; ++i)); do run_once "$i"; done
done

# The outputs of -j 1 and of the default must be the same bytes.
retire "$dst" "$work/one" "$dst.sgf"
if ((archives)); then
  untimed "$cli" -q -r "$src" "$work/one"
  untimed "$cli" -q -r "$work/A.tar.bz2" "$dst"
elif ((collection)); then
  untimed "$cli" -q -j 1 --all-games "$src" "$work/one"
  untimed "$cli" -q --all-games "$src" "$dst"
else
  untimed "$cli" -q "${recursive[@]}" -j 1 "$src" "$work/one"
  untimed "$cli" -q "${recursive[@]}" "$src" "$dst"
fi
if diff -r -q "$work/one" "$dst" >/dev/null; then same="identical"; else same="DIFFERENT"; fi
same_label="outputs of -j 1 and the default"
if ((archives)); then same_label="outputs of the folder and of A.tar.bz2"; fi

# The ratio column: to the command named in "bases" (see add above), and the
# target for it.
printf '\n%-34s %10s %10s %8s %14s %9s %-24s\n' "command" "median s" \
  "$( ((collection)) && echo "games/s" || echo "files/s")" "MB/s" \
  "peak RSS MB" "ratio" "  target"
for ((i = 0; i < count; ++i)); do
  us=$(median <<<"${times[i]}")
  b=${bases[i]}
  base=$(median <<<"${times[b]}")
  kb=$(tr ' ' '\n' <<<"${rss[i]}" | awk 'NF' | sort -n | tail -n 1)
  awk -v n="${labels[i]}" -v us="$us" -v base="$base" -v f="$files" -v b="$bytes" -v kb="$kb" \
    -v target="${targets[i]}" -v of="${labels[b]}" 'BEGIN {
    s = us / 1e6
    goal = ""
    if (target != "-") {
      sub(/^[a-z ]*: /, "", of)
      goal = sprintf("  <= %s x %s%s", target, of, us / base > target + 0 ? " (missed)" : "")
    }
    printf "%-34s %10.3f %10.0f %8.1f %14.1f %9.2f %s\n", n, s, f / s, b / 1e6 / s, kb / 1024,
      us / base, goal
  }'
done
echo
echo "$same_label: $same; load after:$(uptime | sed 's/.*load average://')"
