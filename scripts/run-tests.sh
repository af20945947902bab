#!/usr/bin/env bash
# Installs what is needed, builds everything (app, tests, benchmarks) and runs every test.
# The UI tests need a display: without one, the tests run inside a virtual X server.
#
# ctest runs each test in a process of its own. Without arguments, each test binary then also
# runs once as a single process, so that a test which leaves something behind for the next one
# (a setting, a file, a global) fails here rather than only in someone's full run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd build

in_display=()
if [ -z "${DISPLAY:-}" ]; then
    in_display=(xvfb-run -a -s "-screen 0 1920x1200x24 -nolisten tcp")
fi

"${in_display[@]}" ctest --output-on-failure --no-tests=error --parallel "$(nproc)" "$@"

if [ $# -eq 0 ]; then
    echo "Each test binary as one process:"
    tests/dunmoor_tests --gtest_brief=1
    "${in_display[@]}" tests/dunmoor_ui_tests --gtest_brief=1
fi
