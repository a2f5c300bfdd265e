#!/usr/bin/env bash
# Builds Marlo and runs every test (core, command line and windows, offscreen).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S "$root" --preset default -DMARLO_WERROR="$werror" >/dev/null
cmake --build "$root/build" -j"$(nproc)"
cd "$root"
QT_QPA_PLATFORM=offscreen ctest --preset default -j"$(nproc)"
