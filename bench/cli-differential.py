#!/usr/bin/env python3
"""Runs two marlo-cli binaries over the same generated and damaged phone books and
compares everything they do: exit status, standard output, standard error and the
files they write. For a change of marlo-cli that must keep every byte it prints and
writes: build the old binary aside first, then

    bench/cli-differential.py OLD_MARLO_CLI NEW_MARLO_CLI [COUNT [SEED]]

COUNT inputs (default 3600), half archives and half text files, each written well
formed and then, for most of them, damaged: cut short, a byte changed, a count or a
length made wrong, bytes added at the end. Prints each difference and exits 1 when
there is any."""

import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

# Bytes that make a field interesting to the formats and the searches.
PIECES = [b"ta", b"tanaka", b"TA", b"abe", b"a", b"z", b"03-1234", b"\x93\x63\x92\x86",  # 田中
          b"\x91\xe5\x8d\xe3", b"\x8c\x67\x91\xd1", b"KA", b",", b"\r\n", b"\r", b"\n", b"\x1a", b"\x00",
          b"\x82", b"\xa0", b"\xb1\xb2", b"\x83\x41", b" ", b"m"]
KEYS = ["ta", "TA", "a", "tanaka", "携帯", "大阪", "03", "ｱ", "z", ",", "ア"]


def field(rng):
    roll = rng.random()
    if roll < 0.01:
        return b"m" * rng.choice([254, 255, 300, 0xFFFE, 0x10005])
    return b"".join(rng.choice(PIECES) for _ in range(rng.randrange(0, 5)))


def length_prefix(n, rng):
    forms = []
    if n < 0xFF:
        forms.append(bytes([n]))
    if n < 0xFFFE:
        forms.append(b"\xff" + struct.pack("<H", n))
    forms.append(b"\xff\xff\xff" + struct.pack("<I", n))
    # The shortest form mostly, as a save writes it.
    return forms[0] if rng.random() < 0.9 else rng.choice(forms)


def wide(text_bytes, rng):
    try:
        text = text_bytes.decode("cp932")
    except UnicodeDecodeError:
        text = "イx"
    units = text.encode("utf-16-le")
    return b"\xff\xfe\xff" + length_prefix(len(units) // 2, rng) + units


def archive(rng):
    count = rng.choice([0, 1, 2, 3, 5, 8, 20, 60])
    out = b"\xff\xff\x01\x00\x08\x00CMrlData" + struct.pack("<i", count)
    for _ in range(count):
        for _ in range(4):
            f = field(rng)
            out += wide(f, rng) if rng.random() < 0.03 else length_prefix(len(f), rng) + f
    return out


def text(rng):
    lines = []
    for _ in range(rng.choice([0, 1, 2, 5, 20, 60])):
        parts = [field(rng) for _ in range(rng.randrange(1, 6))]
        lines.append(b",".join(parts))
    ends = [b"\r\n", b"\n", b"\r\r\n"]
    body = b"".join(line + rng.choice(ends) for line in lines)
    if body and rng.random() < 0.2:
        body = body[: rng.randrange(len(body) + 1)]  # no last line end
    return body


def damage(data, rng):
    roll = rng.random()
    if roll < 0.3 or not data:
        return data
    data = bytearray(data)
    if roll < 0.5:
        return bytes(data[: rng.randrange(len(data))])
    if roll < 0.7:
        data[rng.randrange(len(data))] = rng.randrange(256)
    elif roll < 0.8 and len(data) >= 18:
        data[14:18] = struct.pack("<i", rng.choice([-1, 0, 1, 7, 1000, 2**31 - 1]))
    elif roll < 0.9:
        data += bytes(rng.randrange(256) for _ in range(rng.randrange(1, 20)))
    else:
        data[rng.randrange(len(data))] = 0xFF
    return bytes(data)


def commands(rng, name):
    key = rng.choice(KEYS)
    return [
        ["-f", name, "list"],
        ["-f", name, "--encoding", "cp932", "search", key] + (["--max", str(rng.randrange(-1, 4))] if rng.random() < 0.3 else []),
        ["-f", name, "--encoding", "cp932", "find"] + rng.sample(KEYS, rng.randrange(1, 4)),
        ["convert", name, "out.txt"],
        ["convert", name, "out.mrl"],
    ]


def run(binary, folder, args):
    p = subprocess.run([binary] + args, cwd=folder, capture_output=True, timeout=60)
    files = {}
    for out in ("out.txt", "out.mrl"):
        path = os.path.join(folder, out)
        if os.path.exists(path):
            with open(path, "rb") as f:
                files[out] = f.read()
            os.unlink(path)
    return p.returncode, p.stdout, p.stderr, files


def case(i, old, new, seed, root):
    rng = random.Random(seed * 100003 + i)
    is_text = i % 2 == 1
    name = "book%d.txt" % i if is_text else "book%d" % i
    data = damage(text(rng) if is_text else archive(rng), rng)
    differences = []
    folders = {}
    for which in ("old", "new"):
        folders[which] = os.path.join(root, "%s%d" % (which, i))
        os.mkdir(folders[which])
        with open(os.path.join(folders[which], name), "wb") as f:
            f.write(data)
    for args in commands(rng, name):
        a = run(old, folders["old"], args)
        b = run(new, folders["new"], args)
        if a != b:
            differences.append("input %d (%s, %d bytes) %s:\n  old %r\n  new %r" % (i, name, len(data), args, a[:3], b[:3]))
    for folder in folders.values():
        shutil.rmtree(folder)
    return differences


def main():
    old, new = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 3600
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    root = tempfile.mkdtemp()
    try:
        with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
            results = list(pool.map(lambda i: case(i, old, new, seed, root), range(count)))
    finally:
        shutil.rmtree(root)
    differences = [d for r in results for d in r]
    for d in differences[:50]:
        print(d)
    print("%d inputs, %d commands each: %d differences" % (count, 5, len(differences)))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
