#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The bash completion offers every option that --help lists, the values of
# --jobs and --charset, and folders and *.sgf files (any letter case) as
# operands. Each line is split into words as readline splits it, at white
# space and at the characters of COMP_WORDBREAKS, so "--charset=Sh" arrives
# as "--charset" "=" "Sh". The zsh and fish completions name every option.
# Usage: completion_test.sh PROGRAM COMPLETION-FILE [ZSH-FILE FISH-FILE]
export LC_ALL=C
program=$1
source "$2"
failed=0
breaks=$COMP_WORDBREAKS

# The completions offered for the end of the typed line "$1".
complete_typed() {
    local line=$1 word="" kind="" c i
    local -a words=()
    for ((i = 0; i < ${#line}; i++)); do
        c=${line:i:1}
        if [[ $c == [[:space:]] ]]; then
            [[ -n $word ]] && words+=("$word")
            word="" kind=""
        elif [[ $c != [[:space:]] && $breaks == *"$c"* ]]; then
            [[ $kind == text ]] && words+=("$word") && word=""
            word+=$c kind=break
        else
            [[ $kind == break ]] && words+=("$word") && word=""
            word+=$c kind=text
        fi
    done
    words+=("$word")
    COMP_WORDS=("${words[@]}")
    COMP_CWORD=$((${#words[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _varnoket_cli varnoket-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() {
    if [[ "$2" != "$3" ]]; then
        printf 'FAILED: %s\n  expected: %s\n  got:      %s\n' "$1" "${3//$'\n'/ }" "${2//$'\n'/ }"
        failed=1
    fi
}

long_options=$("$program" --help | grep -oE -- '^ +(-[a-zA-Z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+' | sort)
offered=$(complete_typed "varnoket-cli --" | grep -- '^--' | tr -d '=' | sort)
expect "every long option of --help" "$offered" "$long_options"

listed=$("$program" --help | grep -oE -- '^ +-[a-zA-Z],' | tr -d ' ,' | sort)
offered=$(complete_typed "varnoket-cli -" | grep -E -- '^-[a-zA-Z]$' | sort)
expect "every short option of --help" "$offered" "$listed"

# Typed line, then what is offered; a blank line between the offers.
while IFS='|' read -r typed offers; do
    expect "$typed" "$(complete_typed "$typed")" "$(printf '%s' "$offers" | tr ' ' '\n')"
done <<'TABLE'
varnoket-cli --dr|--dry-run
varnoket-cli -j 1|1 16
varnoket-cli --jobs 8|8
varnoket-cli --jobs=|0 1 16 2 4 8
varnoket-cli --jobs=1|1 16
varnoket-cli --charset=Sh|Shift_JIS
varnoket-cli --charset a|auto
varnoket-cli --charset=|Big5 CP949 EUC-JP EUC-KR GB18030 GBK ISO-2022-JP ISO-8859-1 KOI8-R Shift_JIS UTF-8 auto windows-1251 windows-1252
varnoket-cli -r --charset EUC|EUC-JP EUC-KR
TABLE

# Where "=" does not break words the option comes whole, and so do the offers.
breaks=${COMP_WORDBREAKS//=/}
expect "an unsplit --charset=" "$(complete_typed "varnoket-cli --charset=Sh")" "--charset=Shift_JIS"
breaks=$COMP_WORDBREAKS

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/games" "$folder/go"
touch "$folder/game.sgf" "$folder/GAME2.SGF" "$folder/game.txt"
(
    cd "$folder"
    expect "operands" "$(complete_typed "varnoket-cli -r ")" $'GAME2.SGF\ngame.sgf\ngames\ngo'
    expect "operands by prefix" "$(complete_typed "varnoket-cli games g")" $'game.sgf\ngames\ngo'
    exit $failed
) || failed=1

for file in "${@:3}"; do
    for option in $long_options; do
        grep -q -- "${option#--}" "$file" || expect "$file names $option" "missing" "present"
    done
done

exit $failed
