#!/bin/bash
# scripts/build.sh <folder> [cmake options...]: configures and builds one build
# folder under build/.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder="$1"
shift
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    # Paths relative to the checkout, so that another checkout of the same
    # sources (a CI run's) finds what this one compiled.
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
fi
cmake -S "$root" -B "$root/build/$folder" -G Ninja "${launcher[@]}" "$@" >/dev/null
cmake --build "$root/build/$folder" -j "$(nproc)"
