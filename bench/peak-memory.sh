#!/bin/sh
# Peak memory of opening a generated phone book, as a phone-book file and as text.
#   bench/peak-memory.sh BUILD_DIR [COUNT]      (COUNT defaults to 1000000)
# Each open runs in a fresh process, so the peak belongs to the open alone.
set -eu

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 BUILD_DIR [COUNT]" >&2
    exit 2
fi
build=$1
count=${2:-1000000}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT INT TERM

for name in book.mrl book.txt; do
    "$build/bench/marlo-genbook" "$count" 20261207 "$dir/$name"
    "$build/bench/corebench" --peak-rss "$dir/$name"
    echo
done
