"""A second, independent implementation of the container format (standard library only).

It writes containers in both layouts, with or without an executable stub, and reads
them back verifying every checksum, including the data checksum that the player never
checks. The test driver uses it to cross-check narvo-tool in both directions.
"""

import struct
import zlib

COMPRESSED = 0x80000000
ATTRIBUTE1 = 0x00800000
EXTRACT = 0x00400000
NO_EXTRACT = 0x00100000
MASKED = 0x00080000


class FormatError(Exception):
    pass


def checksum(data, h=0):
    """Rotate left by one bit, then XOR the byte sign-extended to 32 bits."""
    for b in data:
        h = ((h << 1) | (h >> 31)) & 0xFFFFFFFF
        h ^= (b - 256 if b >= 128 else b) & 0xFFFFFFFF
    return h


def checksum_u32(value, h):
    return checksum(struct.pack("<I", value & 0xFFFFFFFF), h)


class Entry:
    def __init__(self, name, data, compressed=False, masked=False, extract=False,
                 no_extract=False, attribute1=False, value=0, full_size=None):
        self.name = name  # bytes (Shift-JIS)
        self.data = data  # the uncompressed bytes
        self.compressed = compressed
        self.masked = masked
        self.extract = extract
        self.no_extract = no_extract
        self.attribute1 = attribute1
        self.value = value
        self.full_size = full_size  # None: the natural value

    def attributes(self):
        a = 0
        if self.compressed:
            a |= COMPRESSED
        if self.attribute1:
            a |= ATTRIBUTE1
        if self.extract:
            a |= EXTRACT
        if self.no_extract:
            a |= NO_EXTRACT
        if self.masked:
            a |= MASKED
        return a


def stub_separator(dashes=255):
    return b"-" * dashes + b"+"


def write_stream(entries, magic=b"NV5PKG", mask=None, stub=None, dashes=255):
    """Entry-stream layout. `mask` defaults to a fixed pattern; `stub` is an executable."""
    if mask is None:
        mask = bytes((i * 37 + 11) & 0xFF for i in range(256))
    out = bytearray()
    if stub is not None:
        out += stub + stub_separator(dashes)
    magic8 = magic.ljust(8, b"\0")
    text = bytes(256)
    h = checksum(magic8)
    h = checksum(text, h)
    for v in (0, 0, 0):  # count, flags, value
        h = checksum_u32(v, h)
    out += magic8 + text + struct.pack("<I", 0) + struct.pack(">III", 0, 0, h) + mask
    for e in entries:
        stored = zlib.compress(e.data) if e.compressed else e.data
        data_sum = checksum(stored)
        if e.full_size is not None:
            full = e.full_size
        else:
            full = len(e.data) if e.compressed else 0
        if e.masked:
            stored = bytes(b ^ mask[i & 0xFF] for i, b in enumerate(stored))
        flags = bytes([int(e.compressed), int(e.attribute1), int(e.extract), int(e.no_extract)])
        h = checksum(bytes([len(e.name)]) + e.name + flags)
        for v in (e.value, len(stored), full, data_sum):
            h = checksum_u32(v, h)
        out += b"LI" + struct.pack(">I", h) + bytes([len(e.name)]) + e.name
        out += struct.pack(">IIIII", e.attributes(), e.value, len(stored), full, data_sum)
        out += stored
    out += b"EP"
    return bytes(out)


def write_directory(entries, magic=b"NV5PKG", stub=None):
    """Directory layout: little-endian, no checksums, no mask. Attribute word A bit 31
    is compressed, A & 0x0F000000 attribute 1 (else no-extract); B bit 24 is extract."""
    out = bytearray()
    if stub is not None:
        out += stub + stub_separator()
    out += magic.ljust(8, b"\0") + bytes(256) + struct.pack("<I", len(entries))
    blobs = []
    offset = 0
    records = bytearray()
    for e in entries:
        stored = zlib.compress(e.data) if e.compressed else e.data
        a = (0x80000000 if e.compressed else 0) | (0x01000000 if e.attribute1 else 0)
        b = 0x01000000 if e.extract else 0
        records += e.name.ljust(256, b"\0") + struct.pack("<IIII", a, b, offset, len(stored))
        blobs.append(stored)
        offset += len(stored)
    return bytes(out + records + b"".join(blobs))


def read(blob):
    """Parses either layout; verifies every checksum. Answers (magic, entries), each entry
    a dict with name, attrs (letters C1XNM), stored, full (as the player reports it), data."""
    pos = 0
    if blob[:2] == b"MZ":
        dashes = 0
        pos = 8
        while True:
            if pos >= len(blob):
                raise FormatError("no separator after the executable")
            c = blob[pos]
            pos += 1
            if c == ord("+") and dashes > 200:
                break
            dashes = dashes + 1 if c == ord("-") else 0
    magic = blob[pos:pos + 8].rstrip(b"\0")
    head = blob[pos:pos + 264]
    (count,) = struct.unpack_from("<I", blob, pos + 264)
    pos += 268
    entries = []
    if count:
        base = pos + 272 * count
        for i in range(count):
            rec = blob[pos + 272 * i:pos + 272 * (i + 1)]
            name = rec[:256].split(b"\0")[0]
            a, b, off, size = struct.unpack_from("<IIII", rec, 256)
            comp = bool(a & 0x80000000)
            attr1 = bool(a & 0x0F000000)
            stored = blob[base + off:base + off + size]
            if len(stored) != size:
                raise FormatError("directory entry past the end")
            data = zlib.decompress(stored) if comp else stored
            attrs = ("C" if comp else "") + ("1" if attr1 else "") + \
                ("X" if b & 0x01000000 else "") + ("" if attr1 else "N")
            entries.append(dict(name=name, attrs=attrs or "-", stored=size,
                                full=0 if comp else size, data=data))
        return magic, entries
    flags, value, hsum = struct.unpack_from(">III", blob, pos)
    h = checksum(head)
    for v in (0, flags, value):
        h = checksum_u32(v, h)
    if h != hsum:
        raise FormatError("header checksum")
    mask = blob[pos + 12:pos + 12 + 256]
    pos += 12 + 256
    while True:
        mark = blob[pos:pos + 2]
        pos += 2
        if mark == b"EP":
            break
        if mark != b"LI":
            raise FormatError("bad record mark %r at %d" % (mark, pos - 2))
        (esum,) = struct.unpack_from(">I", blob, pos)
        n = blob[pos + 4]
        name = blob[pos + 5:pos + 5 + n]
        attrs_word, value, size, full, dsum = struct.unpack_from(">IIIII", blob, pos + 5 + n)
        pos += 5 + n + 20
        stored = blob[pos:pos + size]
        if len(stored) != size:
            raise FormatError("entry past the end")
        pos += size
        comp = bool(attrs_word & COMPRESSED)
        flags4 = bytes([int(comp), int(bool(attrs_word & ATTRIBUTE1)),
                        int(bool(attrs_word & EXTRACT)), int(bool(attrs_word & NO_EXTRACT))])
        h = checksum(bytes([n]) + name + flags4)
        for v in (value, size, full, dsum):
            h = checksum_u32(v, h)
        if h != esum:
            raise FormatError("entry checksum of %r" % name)
        if attrs_word & MASKED:
            stored = bytes(b ^ mask[i & 0xFF] for i, b in enumerate(stored))
        if checksum(stored) != dsum:
            raise FormatError("data checksum of %r" % name)
        data = zlib.decompress(stored) if comp else stored
        if comp and full != len(data):
            raise FormatError("full size of %r" % name)
        if not comp and full not in (0, size):
            raise FormatError("full size of stored %r" % name)
        letters = "".join(l for bit, l in ((COMPRESSED, "C"), (ATTRIBUTE1, "1"), (EXTRACT, "X"),
                                           (NO_EXTRACT, "N"), (MASKED, "M")) if attrs_word & bit)
        entries.append(dict(name=name, attrs=letters or "-", stored=size,
                            full=full if (comp or full) else size, data=data))
    if pos != len(blob):
        raise FormatError("bytes after the end mark")
    if not entries:
        raise FormatError("no entries")
    return magic, entries
