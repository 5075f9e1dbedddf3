#!/bin/bash
# scripts/build.sh <folder> [cmake options...]: configures and builds one build
# folder under build/.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder="$1"
shift
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$root/build/$folder" -G Ninja "${launcher[@]}" "$@" >/dev/null
cmake --build "$root/build/$folder" -j "$(nproc)"
