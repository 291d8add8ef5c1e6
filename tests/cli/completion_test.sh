#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The bash completion offers every option that --help lists, and folders and
# *.sgf files (any letter case) as operands.
# Usage: completion_test.sh PROGRAM COMPLETION-FILE
export LC_ALL=C
program=$1
source "$2"
failed=0

# The completions of the last of "$@" on a command line of "$@".
complete_line() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _varnoket_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() {
    if [[ "$2" != "$3" ]]; then
        printf 'FAILED: %s\n  expected: %s\n  got:      %s\n' "$1" "${3//$'\n'/ }" "${2//$'\n'/ }"
        failed=1
    fi
}

listed=$("$program" --help | grep -oE -- '^ +(-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+' | sort)
offered=$(complete_line varnoket-cli -- | grep -- '^--' | tr -d '=' | sort)
expect "every long option of --help" "$offered" "$listed"

listed=$("$program" --help | grep -oE -- '^ +-[a-z],' | tr -d ' ,' | sort)
offered=$(complete_line varnoket-cli -  | grep -E -- '^-[a-z]$' | sort)
expect "every short option of --help" "$offered" "$listed"

expect "a prefix" "$(complete_line varnoket-cli --dr)" "--dry-run"
expect "a value of --jobs" "$(complete_line varnoket-cli -j 1)" $'1\n16'
expect "a value of --charset" "$(complete_line varnoket-cli --charset=Sh)" "Shift_JIS"

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/games" "$folder/go"
touch "$folder/game.sgf" "$folder/GAME2.SGF" "$folder/game.txt"
cd "$folder"
expect "operands" "$(complete_line varnoket-cli -r "")" $'GAME2.SGF\ngame.sgf\ngames\ngo'
expect "operands by prefix" "$(complete_line varnoket-cli games g)" $'game.sgf\ngames\ngo'

exit $failed
