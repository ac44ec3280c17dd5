#!/usr/bin/env bash
# Installs what is needed, builds the tool and starts it against the
# simulated device on this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target zelpocket zelsim
exec ./build/zelpocket --simulator "$@"
