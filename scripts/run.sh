#!/usr/bin/env bash
# Installs what is needed, builds the three programs (zelpocket, zelctl,
# zelsim, in build/) and starts the window against the simulated device on
# this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target zelpocket zelctl zelsim
exec ./build/zelpocket --simulator "$@"
