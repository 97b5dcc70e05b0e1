#!/usr/bin/env python3
"""Cross-checks narvo-tool pack against the independent implementation in pkgfmt.py.

usage: roundtrip.py NARVO_TOOL

1. Containers written by pkgfmt (both layouts, with and without an executable stub,
   compressed, masked and stored entries, Shift-JIS names, duplicates) must be listed
   and extracted byte for byte by narvo-tool.
2. Containers made by narvo-tool pack create / append must verify under pkgfmt.read,
   every checksum included, and hold exactly the files given.
"""

import os
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pkgfmt  # noqa: E402

TOOL = None
FAILURES = []


def run(*args, expect=0):
    proc = subprocess.run([TOOL, "pack", *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if proc.returncode != expect:
        FAILURES.append("pack %s: exit %d, expected %d\n%s" % (
            " ".join(args), proc.returncode, expect, proc.stderr.decode(errors="replace")))
    return proc.stdout


def check(cond, what):
    if not cond:
        FAILURES.append(what)


def sample_entries(rng):
    big = bytes(rng.getrandbits(8) for _ in range(5000)) * 3
    text = "".join("行%d line\r\n" % i for i in range(300)).encode("cp932")
    return [
        pkgfmt.Entry("narvo.nvf".encode(), text, compressed=True, masked=True),
        pkgfmt.Entry("背景\\空.png".encode("cp932"), big, compressed=True, extract=True),
        pkgfmt.Entry(b"plain.bin", big[:4096], full_size=0),  # 2048 x 2, full size 0
        pkgfmt.Entry(b"masked.bin", big[:1000], masked=True, no_extract=True),
        pkgfmt.Entry(b"attr.bin", b"abc", attribute1=True, value=7, full_size=3),
        pkgfmt.Entry(b"empty.txt", b""),
        pkgfmt.Entry("ソ表.txt".encode("cp932"), "ソ表 has 0x5C trail bytes".encode("cp932")),
        pkgfmt.Entry(b"DUP.TXT", b"first"),
        pkgfmt.Entry(b"dup.txt", b"second wins", compressed=True, masked=True),
    ]


def expected_listing(entries):
    return "".join("%d %s %s %d %d\n" % (i, e["name"].decode("cp932"), e["attrs"], e["stored"],
                                         e["full"]) for i, e in enumerate(entries))


def check_tool_reads(path, label):
    """narvo-tool must list and extract what pkgfmt reads from the same file."""
    with open(path, "rb") as f:
        _, entries = pkgfmt.read(f.read())
    listing = run("list", path).decode("utf-8")
    check(listing == expected_listing(entries),
          "%s: listing differs\n--- tool\n%s--- expected\n%s" % (label, listing,
                                                                 expected_listing(entries)))
    last = {}
    for e in entries:
        last[e["name"].upper()] = e
    for e in last.values():
        name = e["name"].decode("cp932")
        got = run("extract", path, name)
        check(got == e["data"], "%s: extract %s differs (%d vs %d bytes)" % (
            label, name, len(got), len(e["data"])))
        # Lookup folds ASCII case.
        got = run("extract", path, name.swapcase() if name.isascii() else name)
        check(got == e["data"], "%s: case-folded extract %s differs" % (label, name))
    run("extract", path, "no such entry", expect=1)
    with tempfile.TemporaryDirectory() as out:
        run("extract-all", path, out)
        for e in last.values():
            rel = e["name"].decode("cp932").replace("\\", "/")
            with open(os.path.join(out, rel), "rb") as f:
                check(f.read() == e["data"], "%s: extract-all %s differs" % (label, rel))


def part_one(work, rng):
    entries = sample_entries(rng)
    stub = b"MZ" + bytes(rng.getrandbits(8) for _ in range(3000)) + b"--+-" * 10 + b"x"
    plain_entries = [e for e in entries if not e.masked]
    cases = {
        "stream.nvp": pkgfmt.write_stream(entries),
        "stream_stub.exe": pkgfmt.write_stream(entries, stub=stub),
        "stream_stub201.exe": pkgfmt.write_stream(entries, stub=stub, dashes=201),
        "save.sav": pkgfmt.write_stream(plain_entries, magic=b"NV5SAVE"),
        "directory.nvp": pkgfmt.write_directory(plain_entries),
        "directory_stub.exe": pkgfmt.write_directory(plain_entries, stub=stub),
    }
    for name, blob in cases.items():
        path = os.path.join(work, name)
        with open(path, "wb") as f:
            f.write(blob)
        check_tool_reads(path, name)
    # 200 dashes are not a separator.
    path = os.path.join(work, "stub200.exe")
    with open(path, "wb") as f:
        f.write(pkgfmt.write_stream(entries, stub=stub, dashes=200))
    run("list", path, expect=1)


def part_two(work, rng):
    files = {}
    for name, size in (("a.txt", 3), ("b.bin", 70000), ("c.bin", 2048 * 3), ("e.bin", 0)):
        path = os.path.join(work, name)
        data = bytes(rng.getrandbits(8) for _ in range(size)) if name != "a.txt" else b"abc"
        with open(path, "wb") as f:
            f.write(data)
        files[name] = data
    sjis_name = "絵\\表示.bin"
    exe = os.path.join(work, "player.exe")
    with open(exe, "wb") as f:
        f.write(b"MZ" + bytes(500))

    for label, pre in (("plain", []), ("stub", ["--stub", exe]),
                       ("save", ["--magic", "NV5SAVE"]), ("lib", ["--magic", "NV5LIB"])):
        out = os.path.join(work, "made_%s.nvp" % label)
        run("create", *pre, out,
            "--compress", "--mask", os.path.join(work, "b.bin"),
            os.path.join(work, "c.bin") + "=" + sjis_name,
            "--store", "--extract", os.path.join(work, "a.txt"),
            "--no-mask", "--no-extract-flag", "--no-extract", os.path.join(work, "e.bin"),
            "--compress", os.path.join(work, "a.txt") + "=A.TXT")
        with open(out, "rb") as f:
            blob = f.read()
        try:
            magic, entries = pkgfmt.read(blob)
        except (pkgfmt.FormatError, Exception) as err:  # zlib errors too
            FAILURES.append("%s: independent reader refused it: %s" % (label, err))
            continue
        if label == "stub":
            check(blob.startswith(b"MZ" + bytes(500) + b"-" * 255 + b"+NV5PKG\0"),
                  "stub: wrong executable stub or separator")
        check(magic == {"save": b"NV5SAVE", "lib": b"NV5LIB"}.get(label, b"NV5PKG"),
              "%s: magic %r" % (label, magic))
        got = [(e["name"], e["attrs"], e["data"]) for e in entries]
        want = [(b"b.bin", "CM", files["b.bin"]),
                (sjis_name.encode("cp932"), "CM", files["c.bin"]),
                (b"a.txt", "XM", files["a.txt"]),
                (b"e.bin", "N", files["e.bin"]),
                (b"A.TXT", "CN", files["a.txt"])]
        check(got == want, "%s: entries differ: %r" % (label, [(n, a, len(d)) for n, a, d in got]))

    # Append overwrites the end mark; masked entries are refused.
    out = os.path.join(work, "made_save.nvp")
    run("append", out, "--mask", os.path.join(work, "a.txt"), expect=2)
    run("append", out, "--compress", os.path.join(work, "b.bin") + "=a.txt")
    with open(out, "rb") as f:
        _, entries = pkgfmt.read(f.read())
    check(len(entries) == 6 and entries[5]["name"] == b"a.txt" and
          entries[5]["data"] == files["b.bin"], "append: wrong entries")
    check(run("extract", out, "A.txt") == files["b.bin"], "append: last entry does not win")


def main():
    global TOOL
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    TOOL = sys.argv[1]
    rng = random.Random(1234)
    with tempfile.TemporaryDirectory() as work:
        part_one(work, rng)
        part_two(work, rng)
    for failure in FAILURES:
        print("FAIL:", failure)
    print("%d failures" % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
