#!/bin/bash
# Installs what is missing, builds, sets up the data source, and starts Kestrel
# in demo mode (simulated receiver and sound card) from the folder that holds
# the program and its Language.ini.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_BUILD_TESTS=OFF \
    -DKESTREL_BUILD_BENCH=OFF
for step in "$root"/scripts/setup.d/*.sh; do
    [ -e "$step" ] && bash "$step"
done
cd "$root/build/release/bin"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: Kestrel runs unseen on Qt's offscreen platform (Ctrl-C ends it)." >&2
    export QT_QPA_PLATFORM=offscreen
fi
KESTREL_SIMULATE=1 exec ./kestrel "$@"
