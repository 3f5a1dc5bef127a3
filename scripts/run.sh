#!/usr/bin/env bash
# Sets up, builds and starts Nalvo. With no argument and no NALVO_VOLUMES_ROOT
# it browses the demo media under ./build/demo-media, generated on the first
# run and kept from then on.
#   scripts/run.sh [--new-demo] [folder holding the media volumes]
set -euo pipefail
usage="usage: scripts/run.sh [--new-demo] [FOLDER]
Sets up, builds and starts Nalvo on the media volumes in FOLDER (each
sub-folder is one volume), else in \$NALVO_VOLUMES_ROOT, else on demo media
generated under build/demo-media on the first run and kept, with the edits
made to it, from then on.
  --new-demo  writes the demo media again, losing the edits made to it"

# The command line is checked before anything is installed, built or
# started: a mistyped option must never become the folder whose WAV files
# the window edits.
folder=""
given=0
new_demo=0
options_ended=0
for arg in "$@"; do
    if [[ $options_ended -eq 0 ]]; then
        case "$arg" in
            -h|--help) echo "$usage"; exit 0 ;;
            --new-demo) new_demo=1; continue ;;
            --) options_ended=1; continue ;;
            -?*) printf 'scripts/run.sh: unknown option %s\n%s\n' "$arg" "$usage" >&2; exit 2 ;;
        esac
    fi
    if [[ $given -eq 1 ]]; then
        echo "$usage" >&2
        exit 2
    fi
    folder="$arg"
    given=1
done
if [[ $new_demo -eq 1 && ( $given -eq 1 || -n "${NALVO_VOLUMES_ROOT:-}" ) ]]; then
    echo "scripts/run.sh: --new-demo writes the demo media, which a volumes folder replaces" >&2
    exit 2
fi
if [[ $given -eq 1 ]]; then
    if [[ ! -d "$folder" ]]; then
        echo "scripts/run.sh: the volumes folder $folder does not exist" >&2
        exit 2
    fi
    folder="$(realpath -- "$folder")"
elif [[ -n "${NALVO_VOLUMES_ROOT:-}" && ! -d "$NALVO_VOLUMES_ROOT" ]]; then
    echo "scripts/run.sh: the volumes folder $NALVO_VOLUMES_ROOT (NALVO_VOLUMES_ROOT) does not exist" >&2
    exit 2
fi

cd "$(dirname "$0")/.."
scripts/setup.sh
# The application and the demo media only; scripts/test.sh builds the rest.
scripts/build.sh --target=nalvo --target=nalvo-demo-media

if [[ $given -eq 1 ]]; then
    export NALVO_VOLUMES_ROOT="$folder"
elif [[ -z "${NALVO_VOLUMES_ROOT:-}" ]]; then
    demo="$PWD/build/demo-media"
    tool=build/tests/support/nalvo-demo-media
    if [[ -x "$tool" ]]; then
        # Written once: the takes are the user's to edit, and a rebuilt
        # generator does not overwrite them. A new card is written beside
        # the old one and takes its place only once it is whole.
        if [[ ! -d "$demo" || $new_demo -eq 1 ]]; then
            rm -rf "$demo.new"
            "$tool" -- "$demo.new" >/dev/null
            rm -rf "$demo"
            mv "$demo.new" "$demo"
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
echo "scripts/run.sh: the build did not make $app; see its output above." >&2
exit 1
