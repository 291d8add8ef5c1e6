# SPDX-License-Identifier: MIT
# fish completion for varnoket-cli: its options, the values of --jobs, the
# usual names for --charset (it takes more); operands complete as files.
complete -c varnoket-cli -s r -l recursive -d 'Also clean every subfolder'
complete -c varnoket-cli -s L -l follow -d 'With -r, also enter folders that links lead to'
complete -c varnoket-cli -s j -l jobs -x -a '0 1 2 4 8 16' -d 'Clean N files at once'
complete -c varnoket-cli -s q -l quiet -d 'Print only errors'
complete -c varnoket-cli -s n -l dry-run -d 'Clean in memory, write nothing'
complete -c varnoket-cli -l charset -x -d 'Charset of files that name none' \
    -a 'auto UTF-8 Shift_JIS GBK GB18030 Big5 EUC-KR CP949 EUC-JP ISO-2022-JP windows-1251 windows-1252 KOI8-R ISO-8859-1'
complete -c varnoket-cli -l all-games -d 'Clean every game of a collection into one file'
complete -c varnoket-cli -l split -d 'Clean every game of a collection into a file of its own'
complete -c varnoket-cli -l archives -d 'Also clean the archives found in the source'
complete -c varnoket-cli -l recover -d 'Mend damaged and old records'
complete -c varnoket-cli -s h -l help -d 'Display the help and exit'
complete -c varnoket-cli -l version -d 'Output version information and exit'
