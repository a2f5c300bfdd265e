#!/bin/sh
# Runs every fuzz target for SECONDS seconds on a copy of its seed corpus.
#   fuzz/run-all.sh BUILD_DIR SECONDS
# BUILD_DIR is a build with MARLO_FUZZ=ON (the asan preset). Exits non-zero when
# a target finds a crash, a leak, a time-out or a broken invariant; the inputs that
# did it are kept in BUILD_DIR/fuzz-artifacts/<target>/.
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS" >&2
    exit 2
fi
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d)
# The targets write small files at every run: keep them in memory when possible.
scratch=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$work" "$scratch"' EXIT INT TERM

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

failed=""
for name in archive textline settings csv vcard; do
    target="$build/fuzz/fuzz_$name"
    if [ ! -x "$target" ]; then
        echo "run-all: $target is missing; build the fuzz targets first" >&2
        exit 2
    fi
    # Work on a copy: the fuzzer adds what it finds to its corpus directory.
    mkdir -p "$work/$name/corpus" "$work/$name/artifacts"
    cp -R "$here/corpus/$name/." "$work/$name/corpus/"
    echo "== fuzz_$name for $seconds s"
    if TMPDIR="$scratch" "$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/$name/artifacts/" "$work/$name/corpus" >"$work/$name/log" 2>&1; then
        grep -E '^(stat::number_of_executed_units|stat::new_units_added|#[0-9]+ *DONE)' "$work/$name/log" || true
    else
        tail -n 60 "$work/$name/log"
        keep="$build/fuzz-artifacts/fuzz_$name"
        mkdir -p "$keep"
        cp -R "$work/$name/artifacts/." "$keep/"
        echo "run-all: fuzz_$name failed; reproducers in $keep" >&2
        failed="$failed fuzz_$name"
    fi
done

if [ -n "$failed" ]; then
    echo "run-all: failures:$failed" >&2
    exit 1
fi
echo "run-all: no failures"
