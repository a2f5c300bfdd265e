#!/usr/bin/env bash
# Whole-process times of marlo-cli against the standard tools that do the same
# job on the phone book saved as text, side by side in one run.
#
#   bench/compare-peers.sh [BUILD_DIR [COUNT [RUNS]]]
#
# BUILD_DIR holds marlo-cli and bench/marlo-genbook (default: build next to this
# script's folder); COUNT entries (default 1000000); each time is the median of
# RUNS runs (default 5) after one warm-up run, files in the page cache.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
count=${2:-1000000}
runs=${3:-5}
cli=$build/marlo-cli
genbook=$build/bench/marlo-genbook
for tool in "$cli" "$genbook"; do
    [[ -x $tool ]] || { echo "compare-peers: $tool not found; build first" >&2; exit 2; }
done
for tool in grep look sort cp sync iconv; do
    command -v "$tool" >/dev/null || { echo "compare-peers: $tool not installed (look: bsdextrautils)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$genbook" "$count" 42 book.mrl
"$genbook" --unsorted "$count" 42 unsorted.txt
# The text the program writes is in romaji order, which look needs.
"$cli" convert book.mrl book.txt 2>/dev/null

key=tanaka

# Median wall time in milliseconds of running "$@" with stdout to a file
# (not /dev/null: grep stops at the first match when it sees /dev/null).
median_ms() {
    "$@" >out 2>/dev/null || [[ $? -eq 1 ]] # grep and look answer 1 for no match
    local times=()
    for ((i = 0; i < runs; i++)); do
        local t0 t1
        t0=$(date +%s%N)
        "$@" >out 2>/dev/null || [[ $? -eq 1 ]]
        t1=$(date +%s%N)
        times+=($(((t1 - t0) / 1000)))
    done
    local sorted
    sorted=($(printf '%s\n' "${times[@]}" | sort -n))
    local us=${sorted[$((runs / 2))]}
    printf '%d.%d' $((us / 1000)) $(((us % 1000) / 100))
}

lines() { "$@" 2>/dev/null | wc -l; }

row() { # task, marlo command label, peer label, then the two commands split by --
    local task=$1 mlabel=$2 plabel=$3
    shift 3
    local mcmd=() pcmd=()
    while [[ $1 != -- ]]; do mcmd+=("$1"); shift; done
    shift
    pcmd=("$@")
    local m p
    m=$(median_ms "${mcmd[@]}")
    p=$(median_ms "${pcmd[@]}")
    printf '%-22s %-40s %9s ms   %-42s %9s ms   %6s\n' "$task" "$mlabel" "$m" "$plabel" "$p" \
        "$(awk -v m="$m" -v p="$p" 'BEGIN { printf (p > 0 ? "%.2f" : "-"), m / p }')"
}

printf 'Phone book of %d entries: archive %d bytes, text %d bytes; median of %d runs\n' "$count" \
    "$(stat -c %s book.mrl)" "$(stat -c %s book.txt)" "$runs"
printf 'rows found for "%s": marlo-cli find %d, grep %d; marlo-cli search %d, look %d\n\n' "$key" \
    "$(lines "$cli" -f book.mrl find "$key")" "$(lines env LC_ALL=C grep -i -F "$key" book.txt)" \
    "$(lines "$cli" -f book.mrl search "$key")" "$(lines env LC_ALL=C look "$key" book.txt)"
printf '%-22s %-40s %12s   %-42s %12s   %6s\n' task marlo-cli time peer time ratio
row "full-text search" "marlo-cli -f book.mrl find $key" "LC_ALL=C grep -i -F $key book.txt" \
    "$cli" -f book.mrl find "$key" -- env LC_ALL=C grep -i -F "$key" book.txt
row "full-text search" "marlo-cli -f book.txt find $key" "LC_ALL=C grep -i -F $key book.txt" \
    "$cli" -f book.txt find "$key" -- env LC_ALL=C grep -i -F "$key" book.txt
# Two keys, one of them frequent: the peer is one grep per key in a pipeline.
sjis=$(printf '携帯' | iconv -f UTF-8 -t CP932)
row "full-text, two keys" "marlo-cli -f book.mrl find 携帯 KA" "grep -i -F 携帯 | grep -i -F KA" \
    "$cli" -f book.mrl find 携帯 KA -- sh -c "LC_ALL=C grep -i -F '$sjis' book.txt | LC_ALL=C grep -i -F KA"
row "full-text, three keys" "marlo-cli -f book.mrl find 携帯 KA 03" "grep 携帯 | grep KA | grep 03" \
    "$cli" -f book.mrl find 携帯 KA 03 -- sh -c "LC_ALL=C grep -i -F '$sjis' book.txt | LC_ALL=C grep -i -F KA | LC_ALL=C grep -i -F 03"
# An archive has no index to bisect: a linear scan of the text is the fair peer, and
# look, which bisects the sorted text, is shown beside it for reference.
row "name search" "marlo-cli -f book.mrl search $key" "LC_ALL=C grep ^$key book.txt" \
    "$cli" -f book.mrl search "$key" -- env LC_ALL=C grep "^$key" book.txt
row "name search (ref.)" "marlo-cli -f book.mrl search $key" "LC_ALL=C look $key book.txt" \
    "$cli" -f book.mrl search "$key" -- env LC_ALL=C look "$key" book.txt
row "sort text into order" "marlo-cli convert unsorted.txt b.mrl" "LC_ALL=C sort -s -t, -k1,1 unsorted.txt" \
    "$cli" convert unsorted.txt b.mrl -- env LC_ALL=C sort -s -t, -k1,1 unsorted.txt
row "sort text into order" "marlo-cli convert unsorted.txt b.txt" "LC_ALL=C sort -s -t, -k1,1 unsorted.txt" \
    "$cli" convert unsorted.txt b.txt -- env LC_ALL=C sort -s -t, -k1,1 unsorted.txt
# A save puts the file on disk before it answers (fsync): the copy's peer does as well.
row "archive to text" "marlo-cli convert book.mrl c.txt" "cp book.mrl c.mrl; sync c.mrl" \
    "$cli" convert book.mrl c.txt -- sh -c 'cp book.mrl c.mrl && sync c.mrl'
row "archive to archive" "marlo-cli convert book.mrl d.mrl" "cp book.mrl c.mrl; sync c.mrl" \
    "$cli" convert book.mrl d.mrl -- sh -c 'cp book.mrl c.mrl && sync c.mrl'
row "archive to archive" "marlo-cli convert book.mrl d.mrl" "cp book.mrl c.mrl (no sync, ref.)" \
    "$cli" convert book.mrl d.mrl -- cp book.mrl c.mrl
echo
echo "ratio = marlo-cli time / peer time (aims: find 1.3, search against grep 1.5, text to archive 1.0, archive to text or archive 2.5 against cp; sync)"
