# SPDX-License-Identifier: MIT
# bash completion for varnoket-cli: its options, the values of --jobs, the
# usual names for --charset (it takes more), and folders or *.sgf files as
# operands.
_varnoket_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local prefix=""
    # Readline splits "--charset=Sh" at the "=" of COMP_WORDBREAKS into
    # "--charset" "=" "Sh"; put the option back together, as bash-completion's
    # _init_completion -s does. Where "=" does not break words, the word comes
    # whole, and what is offered must then repeat the option.
    if [[ $cur == = && $prev == --* ]]; then
        cur=""
    elif [[ $prev == = && $COMP_CWORD -ge 2 && ${COMP_WORDS[COMP_CWORD-2]} == --* ]]; then
        prev=${COMP_WORDS[COMP_CWORD-2]}
    elif [[ $cur == --*=* ]]; then
        prev=${cur%%=*}
        prefix=$prev=
        cur=${cur#*=}
    fi
    local charsets="auto UTF-8 Shift_JIS GBK GB18030 Big5 EUC-KR CP949 EUC-JP ISO-2022-JP
                    windows-1251 windows-1252 KOI8-R ISO-8859-1"
    local values=""
    case $prev in
        -j | --jobs) values="0 1 2 4 8 16" ;;
        --charset) values=$charsets ;;
    esac
    if [[ -n $values ]]; then
        COMPREPLY=($(compgen -P "$prefix" -W "$values" -- "$cur"))
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "-r --recursive -L --follow -j --jobs= -q --quiet -n --dry-run
                                 --charset= --all-games --split --archives --recover -h --help --version" -- "$cur"))
        [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
        return
    fi
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.[sS][gG][fF]' -- "$cur"))
}
complete -F _varnoket_cli varnoket-cli
