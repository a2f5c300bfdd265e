#!/bin/sh
# Peak memory and time of importing contact files that are large in one way each
# (`marlo-cli import --dry-run`, a fresh process each), beside each file's size:
# 2,000,000 tiny CSV rows of ten kinds and all different, 1,000,000 minimal cards
# all alike and all different, one card of 1,000,000 numbers, and a row with a
# 4 MB name.
#   bench/contacts-peak.sh BUILD_DIR
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
cli=$1/marlo-cli
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT INT TERM

awk 'BEGIN { printf "Name,Phone\r\n"; for (i = 0; i < 2000000; i++) printf "a,%d\r\n", i % 10 }' >"$dir/rows-alike.csv"
awk 'BEGIN { printf "Name,Phone\r\n"; for (i = 0; i < 2000000; i++) printf "a,%d\r\n", i }' >"$dir/rows.csv"
awk 'BEGIN { for (i = 0; i < 1000000; i++) printf "BEGIN:VCARD\r\nFN:a\r\nEND:VCARD\r\n" }' >"$dir/cards-alike.vcf"
awk 'BEGIN { for (i = 0; i < 1000000; i++) printf "BEGIN:VCARD\r\nFN:a%d\r\nEND:VCARD\r\n", i }' >"$dir/cards.vcf"
awk 'BEGIN { printf "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:a\r\n"; for (i = 0; i < 1000000; i++) printf "TEL:1\r\n"; printf "END:VCARD\r\n" }' >"$dir/numbers.vcf"
awk 'BEGIN { printf "Name,Phone\r\n"; for (i = 0; i < 4000000; i++) printf "a"; printf ",1\r\n" }' >"$dir/long-name.csv"
for name in rows-alike.csv rows.csv cards-alike.vcf cards.vcf numbers.vcf long-name.csv; do
    size=$(wc -c <"$dir/$name")
    /usr/bin/time -f "$name: $size bytes, peak %M KB, %e s" "$cli" -f "$dir/none.book" import --dry-run "$dir/$name" \
        >/dev/null 2>"$dir/err" || true
    tail -n 1 "$dir/err"
done
