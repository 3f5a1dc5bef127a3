#!/usr/bin/env bash
# Configures and builds Nalvo into ./build. Arguments "--target=NAME" build
# only those targets (default: everything, tests and benchmarks included);
# other arguments go to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=()
options=()
for arg in "$@"; do
    case "$arg" in
        --target=*) targets+=(--target "${arg#--target=}") ;;
        *) options+=("$arg") ;;
    esac
done
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${options[@]+"${options[@]}"} >/dev/null
cmake --build build -j"$(nproc)" ${targets[@]+"${targets[@]}"}
