#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite.
#   scripts/test.sh [--ci] [-- CTest arguments]
# Arguments after "--" go to CTest (CI leaves out what an earlier pass ran).
set -euo pipefail
cd "$(dirname "$0")/.."
setup_args=()
ctest_args=()
while [[ $# -gt 0 ]]; do
    if [[ "$1" == "--" ]]; then
        shift
        ctest_args=("$@")
        break
    fi
    setup_args+=("$1")
    shift
done
scripts/setup.sh ${setup_args[@]+"${setup_args[@]}"}
scripts/build.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" ${ctest_args[@]+"${ctest_args[@]}"}
