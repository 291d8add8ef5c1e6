#compdef varnoket-cli
# SPDX-License-Identifier: MIT
# zsh completion for varnoket-cli: its options, the values of --jobs, the
# usual names for --charset (it takes more), and folders or *.sgf files as
# operands.
local -a charsets=(Shift_JIS GBK GB18030 Big5 EUC-KR CP949 EUC-JP ISO-2022-JP
                   windows-1251 windows-1252 KOI8-R ISO-8859-1)
_arguments -s -S \
  '(-r --recursive)'{-r,--recursive}'[also clean every subfolder]' \
  '(-L --follow)'{-L,--follow}'[with -r, also enter folders that links lead to]' \
  '(-j --jobs)'{-j+,--jobs=}'[clean N files at once]:files at once:(0 1 2 4 8 16)' \
  '(-q --quiet)'{-q,--quiet}'[print only errors]' \
  '(-n --dry-run)'{-n,--dry-run}'[clean in memory, write nothing]' \
  '--charset=[charset of files that name none]:charset:($charsets)' \
  '(--split)--all-games[clean every game of a collection into one file]' \
  '(--all-games)--split[clean every game of a collection into a file of its own]' \
  '--archives[also clean the archives found in the source]' \
  '--recover[mend damaged and old records]' \
  '(- *)'{-h,--help}'[display the help and exit]' \
  '(- *)--version[output version information and exit]' \
  '1:source folder or file:_files -g "*.(#i)(sgf|zip|tar|tgz|7z|gz|bz2|xz|zst)(-.)"' \
  '2:destination folder or file:_files'
