#!/usr/bin/env bash
# Installs what is needed, builds everything (app, tests, benchmarks) and runs every test.
# The UI tests need a display: without one, the tests run inside a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd build

run_ctest=(ctest --output-on-failure --no-tests=error --parallel "$(nproc)" "$@")
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1920x1200x24 -nolisten tcp" "${run_ctest[@]}"
fi
exec "${run_ctest[@]}"
