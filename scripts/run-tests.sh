#!/usr/bin/env bash
# Installs what is needed, builds everything (app, tests, benchmarks) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd build
ctest --output-on-failure --no-tests=error --parallel "$(nproc)"
