#!/usr/bin/env bash
# Installs what is needed, builds Brackenfold and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh Brackenfold

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # No desktop session: run inside a virtual X server.
    exec xvfb-run -a build/Brackenfold
fi
exec build/Brackenfold
