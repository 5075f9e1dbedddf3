#!/bin/bash
# Installs what is missing, then builds, sets up the data source and starts
# Kestrel in demo mode (simulated receiver and sound card) from the folder
# that holds the program and its Language.ini.
#
# Only the package step runs as root (through sudo when something is
# missing). Everything else runs as the person who typed the command: started
# with sudo, as the user who called sudo, with that user's display and
# session, so that the demo's settings, data source and recordings are theirs
# and its window reaches their desktop.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder=demo

fail() {
    echo "run.sh: $*" >&2
    exit 1
}

# Hands the rest of the run to the user behind sudo, with what of their
# session sudo dropped.
run_as_caller() {
    local user="$SUDO_USER" uid home runtime
    uid="$(id -u "$user")" || fail "no account $user"
    home="$(getent passwd "$user" | cut -d: -f6)"
    [ -n "$home" ] || fail "the account $user has no home folder"
    runuser -u "$user" -- test -w "$root" ||
        fail "$user cannot write to the checkout $root; clone it as $user to run the demo"
    # A build folder that an earlier run as root made is given back to the
    # user whose checkout it is in.
    if [ "$(stat -c %u "$root")" = "$uid" ]; then
        if [ -d "$root/build" ] && ! runuser -u "$user" -- test -w "$root/build"; then
            chown "$user:" "$root/build"
        fi
        if [ -d "$root/build/$folder" ] && ! runuser -u "$user" -- test -w "$root/build/$folder"; then
            chown -R "$user:" "$root/build/$folder"
        fi
    fi

    local environment=(HOME="$home" USER="$user" LOGNAME="$user" PATH="$PATH"
        SHELL="$(getent passwd "$user" | cut -d: -f7)")
    local name
    for name in TERM LANG LANGUAGE LC_ALL LC_MESSAGES LC_CTYPE DISPLAY WAYLAND_DISPLAY \
        XAUTHORITY QT_QPA_PLATFORM KESTREL_SIMULATE KESTREL_TRACE KESTREL_PROFILE; do
        [ -n "${!name:-}" ] && environment+=("$name=${!name}")
    done
    runtime="/run/user/$uid"
    if [ -d "$runtime" ]; then
        environment+=(XDG_RUNTIME_DIR="$runtime")
        [ -S "$runtime/bus" ] && environment+=(DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus")
        if [ -z "${WAYLAND_DISPLAY:-}" ] && [ -S "$runtime/wayland-0" ]; then
            environment+=(WAYLAND_DISPLAY=wayland-0)
        fi
    fi
    if [ -n "${DISPLAY:-}" ] && [ -z "${XAUTHORITY:-}" ] && [ -f "$home/.Xauthority" ]; then
        environment+=(XAUTHORITY="$home/.Xauthority")
    fi
    echo "Building and starting Kestrel as $user."
    exec runuser -u "$user" -- env -i "${environment[@]}" bash "$root/scripts/run.sh" --as-caller "$@"
}

if [ "${1:-}" = "--as-caller" ]; then
    shift
else
    # Asks for root (sudo) itself, and only when a package is missing.
    "$root/scripts/install-deps.sh"
    if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
        run_as_caller "$@"
    fi
fi

[ -w "$root" ] || fail "cannot write to $root: run the demo as the owner of the checkout"
[ ! -e "$root/build/$folder" ] || [ -w "$root/build/$folder" ] ||
    fail "$root/build/$folder belongs to another user; remove it (sudo rm -rf $root/build/$folder)"

"$root/scripts/build.sh" "$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_BUILD_TESTS=OFF \
    -DKESTREL_BUILD_BENCH=OFF
for step in "$root"/scripts/setup.d/*.sh; do
    [ -e "$step" ] && bash "$step"
done
cd "$root/build/$folder/bin"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: Kestrel runs unseen on Qt's offscreen platform (Ctrl-C ends it)." >&2
    export QT_QPA_PLATFORM=offscreen
fi
KESTREL_SIMULATE=1 exec ./kestrel "$@"
