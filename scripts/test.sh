#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite.
#   scripts/test.sh [--ci] [-- CTest arguments]
# Arguments after "--" go to CTest (CI leaves out what an earlier pass ran).
set -euo pipefail
usage="usage: scripts/test.sh [--ci] [-- CTEST ARGUMENTS]
Sets up, builds and runs the whole test suite; --ci also installs the tools
of the sanitizer and fuzzing passes; arguments after -- go to CTest."
setup_args=()
ctest_args=()
# Checked before anything is installed or built.
while [[ $# -gt 0 ]]; do
    case "$1" in
        --) shift; ctest_args=("$@"); break ;;
        -h|--help) echo "$usage"; exit 0 ;;
        --ci) setup_args+=("$1") ;;
        *) printf 'scripts/test.sh: unknown argument %s\n%s\n' "$1" "$usage" >&2; exit 2 ;;
    esac
    shift
done
cd "$(dirname "$0")/.."
scripts/setup.sh ${setup_args[@]+"${setup_args[@]}"}
scripts/build.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" ${ctest_args[@]+"${ctest_args[@]}"}
