# SPDX-License-Identifier: MIT
# bash completion for varnoket-cli: its options, the values of --jobs, the
# usual names for --charset (it takes more), and folders or *.sgf files as
# operands.
_varnoket_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local charsets="Shift_JIS GBK GB18030 Big5 EUC-KR CP949 EUC-JP ISO-2022-JP
                    windows-1251 windows-1252 KOI8-R ISO-8859-1"
    case $prev in
        -j | --jobs)
            COMPREPLY=($(compgen -W "0 1 2 4 8 16" -- "$cur"))
            return
            ;;
        --charset)
            COMPREPLY=($(compgen -W "$charsets" -- "$cur"))
            return
            ;;
    esac
    case $cur in
        --jobs=*)
            COMPREPLY=($(compgen -W "0 1 2 4 8 16" -- "${cur#--jobs=}"))
            return
            ;;
        --charset=*)
            COMPREPLY=($(compgen -W "$charsets" -- "${cur#--charset=}"))
            return
            ;;
        -*)
            COMPREPLY=($(compgen -W "-r --recursive -j --jobs= -q --quiet -n --dry-run
                                     --charset= --all-games --split -h --help --version" -- "$cur"))
            [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
            return
            ;;
    esac
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.[sS][gG][fF]' -- "$cur"))
}
complete -F _varnoket_cli varnoket-cli
