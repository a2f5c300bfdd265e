#!/usr/bin/env bash
# Builds Marlo if needed and starts it in the current directory, so the
# default phone book ./電話帳 and the settings file ./profile are the ones here.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
if [ ! -f "$root/build/build.ninja" ]; then
    cmake -S "$root" --preset default >/dev/null
fi
cmake --build "$root/build" -j"$(nproc)" --target marlo >/dev/null
exec "$root/build/marlo" "$@"
