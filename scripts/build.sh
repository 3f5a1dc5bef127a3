#!/usr/bin/env bash
# Configures and builds Nalvo into ./build. Arguments "--target=NAME" build
# only those targets (default: everything, tests and benchmarks included);
# "-DVAR=VALUE" and "-UVAR" go to CMake.
set -euo pipefail
usage="usage: scripts/build.sh [--target=NAME]... [-DVAR=VALUE]... [-UVAR]...
Configures and builds Nalvo into build/: the named targets, else everything."
targets=()
options=()
# Checked before CMake runs: an option it does not know would be taken for
# a source folder or quietly dropped, and the whole tree built.
for arg in "$@"; do
    case "$arg" in
        -h|--help) echo "$usage"; exit 0 ;;
        --target=?*) targets+=(--target "${arg#--target=}") ;;
        -D?*|-U?*) options+=("$arg") ;;
        *) printf 'scripts/build.sh: unknown argument %s\n%s\n' "$arg" "$usage" >&2; exit 2 ;;
    esac
done
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${options[@]+"${options[@]}"} >/dev/null
cmake --build build -j"$(nproc)" ${targets[@]+"${targets[@]}"}
