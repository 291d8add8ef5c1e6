#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the release configuration into
# build/release/ (executables in build/bin/) and runs Varnoket:
#   ./run.sh                 clean the bundled examples/ into build/examples-clean/
#   ./run.sh ARGS...         run varnoket-cli with ARGS (see ./run.sh --help)
#   ./run.sh --gui [ARGS...] build and start the Qt desktop front end
set -euo pipefail
cd "$(dirname "$0")"

if [[ "${1:-}" == --gui ]]; then
  shift
  scripts/install-deps.sh desktop
  cmake --preset release -DVARNOKET_GUI=ON
  cmake --build --preset release
  exec build/bin/varnoket "$@"
fi

scripts/install-deps.sh core
cmake --preset release
cmake --build --preset release

if [[ $# -gt 0 ]]; then
  exec build/bin/varnoket-cli "$@"
fi

# The default job: the examples hold one damaged file on purpose, so exit
# status 1 (some files failed) is the expected result here.
echo "== varnoket-cli examples build/examples-clean" >&2
rm -rf build/examples-clean
status=0
build/bin/varnoket-cli examples build/examples-clean || status=$?
if [[ $status -gt 1 ]]; then
  exit "$status"
fi
echo "== Cleaned files in build/examples-clean/:" >&2
ls -l build/examples-clean >&2
