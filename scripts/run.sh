#!/usr/bin/env bash
# Sets up, builds and starts Nalvo. With no argument and no NALVO_VOLUMES_ROOT
# it generates demo media under ./build/demo-media and browses those.
#   scripts/run.sh [folder holding the media volumes]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# The application and the demo media only; scripts/test.sh builds the rest.
scripts/build.sh --target=nalvo --target=nalvo-demo-media

if [[ $# -ge 1 ]]; then
    export NALVO_VOLUMES_ROOT="$(realpath "$1")"
elif [[ -z "${NALVO_VOLUMES_ROOT:-}" ]]; then
    demo="$PWD/build/demo-media"
    tool=build/tests/support/nalvo-demo-media
    if [[ -x "$tool" ]]; then
        # Written again when the generator is newer, so new demo takes appear.
        if [[ ! -d "$demo" || "$tool" -nt "$demo" ]]; then
            rm -rf "$demo"
            "$tool" -- "$demo" >/dev/null
        fi
        export NALVO_VOLUMES_ROOT="$demo"
    else
        echo "The demo-media generator is not built yet."
    fi
fi

app=build/mainwindow/nalvo
if [[ -x "$app" ]]; then
    exec "$app"
fi
echo "Nalvo's libraries are built, but the application window does not exist yet:"
echo "the main window has not been written. Run scripts/test.sh to run the tests."
