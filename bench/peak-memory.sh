#!/bin/sh
# Peak memory (and time) of opening a generated phone book: as a phone-book file,
# as text in phone-book order and in the order generated (the open sorts it),
# and a phone-book file of empty entries, the most records for the fewest bytes;
# then the resident memory of the search window with the phone-book file open,
# shown all and edited (uibench, offscreen).
#   bench/peak-memory.sh BUILD_DIR [COUNT [EMPTY_COUNT]]
# COUNT defaults to 1000000, EMPTY_COUNT to 2500000 (a 10 MB file).
# Each open runs in a fresh process, so the peak belongs to the open alone.
set -eu

if [ $# -lt 1 ] || [ $# -gt 3 ]; then
    echo "usage: $0 BUILD_DIR [COUNT [EMPTY_COUNT]]" >&2
    exit 2
fi
build=$1
count=${2:-1000000}
empty=${3:-2500000}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT INT TERM

"$build/bench/marlo-genbook" "$count" 20261207 "$dir/book.mrl"
"$build/bench/marlo-genbook" "$count" 20261207 "$dir/book.txt"
"$build/bench/marlo-genbook" --unsorted "$count" 20261207 "$dir/unsorted.txt"
"$build/bench/marlo-genbook" --empty "$empty" 0 "$dir/empty.mrl"
for name in book.mrl book.txt unsorted.txt empty.mrl; do
    "$build/bench/corebench" --peak-rss "$dir/$name"
    echo
done
if [ -x "$build/bench/uibench" ]; then
    QT_QPA_PLATFORM=offscreen "$build/bench/uibench" --window-rss "$dir/book.mrl" 2>/dev/null
fi
