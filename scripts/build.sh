#!/usr/bin/env bash
# Configures and builds Brackenfold (Ninja when available). Arguments after the options are
# build targets; without any, everything is built.
#
#   scripts/build.sh [targets]              Release, into ./build
#   scripts/build.sh --debug [targets]      Debug (assertions on), into ./build-debug
#   scripts/build.sh --sanitize [targets]   AddressSanitizer and UndefinedBehaviorSanitizer
#                                           (optimised, with debug information), into ./build-sanitize
#   scripts/build.sh --fuzz [targets]       the fuzz targets of fuzz/ (clang, libFuzzer and
#                                           AddressSanitizer), into ./build-fuzz
set -euo pipefail
cd "$(dirname "$0")/.."

folder=build
options=(-DCMAKE_BUILD_TYPE=Release -DBRACKENFOLD_SANITIZE=OFF)

case "${1:-}" in
    --debug)
        folder=build-debug
        options=(-DCMAKE_BUILD_TYPE=Debug -DBRACKENFOLD_SANITIZE=OFF)
        shift
        ;;
    --sanitize)
        folder=build-sanitize
        options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRACKENFOLD_SANITIZE=ON)
        shift
        ;;
    --fuzz)
        folder=build-fuzz
        options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
                 -DBRACKENFOLD_FUZZ=ON -DBRACKENFOLD_BUILD_TESTS=OFF -DBRACKENFOLD_BUILD_BENCHMARKS=OFF)
        shift
        [ $# -gt 0 ] || set -- AudioFileFuzz
        ;;
esac

generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f "$folder/CMakeCache.txt" ]; then
    generator=(-G Ninja)
fi

cmake -S . -B "$folder" "${generator[@]}" "${options[@]}" >/dev/null
if [ $# -gt 0 ]; then
    cmake --build "$folder" --parallel "$(nproc)" --target "$@"
else
    cmake --build "$folder" --parallel "$(nproc)"
fi
