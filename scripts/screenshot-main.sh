#!/bin/bash
# scripts/screenshot-main.sh [build folder]: renders the main window (template
# 102 with the embedded skin and its three indicators at different values) and
# the tool windows on Qt's offscreen platform, to PNG files in
# build/<folder>/screenshots/ (main.png, docked.png, one per tool window).
# The folder defaults to "release"; it is configured first if it does not exist.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder="${1:-release}"
build="$root/build/$folder"

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" --target kestrel_skin_screenshot
QT_QPA_PLATFORM=offscreen "$build/bin/kestrel_skin_screenshot" "$build/screenshots"
