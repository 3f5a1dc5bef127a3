#!/usr/bin/env bash
# Installs what building, running and testing Nalvo need on Debian 12.
# Only packages that are missing are installed; works as root or with sudo.
# --ci adds the tools of the sanitizer and fuzzing passes. The exFAT tools
# serve the tests that write to a mounted exFAT image (as root); libfuse3
# builds the lockless pass-through volume of the shared-folder tests (as
# root it mounts without fuse3's fusermount3, whose package would replace
# the fuse package exfat-fuse is installed with). The OpenSSH server and
# sshfs of --ci serve the tests of two computers on one folder through sshfs:
# each test runs a server of its own on the loopback, for its length, so
# a server installed here is kept from running as the system's service.
set -euo pipefail
usage="usage: scripts/setup.sh [--ci]
Installs the missing packages that building, running and testing Nalvo need;
--ci also installs the tools of the sanitizer and fuzzing passes."
ci=0
# Checked before anything is installed.
for arg in "$@"; do
    case "$arg" in
        -h|--help) echo "$usage"; exit 0 ;;
        --ci) ci=1 ;;
        *) printf 'scripts/setup.sh: unknown argument %s\n%s\n' "$arg" "$usage" >&2; exit 2 ;;
    esac
done

packages=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev qtmultimedia5-dev libqt5multimedia5-plugins
    fonts-dejavu-core xvfb xauth
    ffmpeg sox poppler-utils
    libpulse-dev pulseaudio pulseaudio-utils
    exfatprogs exfat-fuse libfuse3-dev
)
if ((ci)); then
    packages+=(clang libclang-rt-14-dev openssh-server openssh-client sshfs)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    if [[ $(id -u) -ne 0 ]]; then
        sudo="sudo"
    fi
    export DEBIAN_FRONTEND=noninteractive
    # Debian's marker that the system's OpenSSH server is not to run: its
    # service (systemd, init script or runit) never starts, installed or
    # booted; a server started by hand with its own configuration still runs.
    if [[ " ${missing[*]} " == *" openssh-server "* ]]; then
        $sudo mkdir -p /etc/ssh
        $sudo touch /etc/ssh/sshd_not_to_be_run
    fi
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    if [[ " ${missing[*]} " == *" openssh-server "* ]] && command -v systemctl >/dev/null; then
        $sudo systemctl disable ssh.service ssh.socket >/dev/null 2>&1 || true
    fi
fi
