#!/usr/bin/env bash
# Configures and builds into ./build (Release). Extra arguments are passed as build targets.
set -euo pipefail
cd "$(dirname "$0")/.."

generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f build/CMakeCache.txt ]; then
    generator=(-G Ninja)
fi

cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
if [ $# -gt 0 ]; then
    cmake --build build --parallel "$(nproc)" --target "$@"
else
    cmake --build build --parallel "$(nproc)"
fi
