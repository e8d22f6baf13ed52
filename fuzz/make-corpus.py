#!/usr/bin/env python3
# Writes the seed corpus of valid and damaged archives into fuzz/corpus/ (run from anywhere).
import os
import struct
import zlib

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def pac(content):
    return b"PAC\0" + struct.pack("<I", len(content)) + zlib.compress(content, 9)


def raw(content):
    return b"RAW\0" + struct.pack("<I", len(content)) + content


def archive(entries, version=0x0200, sub=0):
    """entries: list of (name bytes, block bytes); offsets computed as the writer does."""
    records_size = sum(2 + len(n) + 1 + 8 for n, _ in entries)
    d = 12 + records_size
    offset = 8 + d
    records = b""
    data = b""
    for name, block in entries:
        records += struct.pack("<H", len(name) + 1) + name + b"\0" + struct.pack("<II", offset, len(block))
        offset += len(block)
        data += block
    head = b"QX11" + struct.pack(">HH", version, sub) + b"RAW\0" + struct.pack("<II", d, len(entries))
    return head + records + data


def put(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(HERE, exist_ok=True)
    text = b"The quick brown fox jumps over the lazy dog. " * 40
    noise = bytes((i * 7919 + 13) % 251 for i in range(3000))
    good = archive([(b"XPCOM\\npqx2011.dll", pac(text)), (b"ActiveX\\QX2011.dll", pac(noise))])
    put("valid-two-entries.qx", good)
    put("valid-empty-directory.qx", archive([]))
    put("valid-raw-block.qx", archive([(b"raw.txt", raw(b"stored as is"))]))
    put("valid-empty-entry.qx", archive([(b"empty", pac(b"")), (b"abc", pac(b"abc"))]))
    put("valid-versions.qx", archive([(b"a", pac(b"abc"))], 0x1234, 0x5678))

    first = 8 + 12 + 2 * (2 + 19 + 8)
    put("bad-magic.qx", b"QX12" + good[4:])
    put("bad-directory-tag.qx", good[:8] + b"PAC\0" + good[12:])
    put("truncated-header.qx", good[:10])
    put("truncated-directory.qx", good[:40])
    put("truncated-block.qx", good[: first + 30])
    small = bytearray(good)
    struct.pack_into("<I", small, first + 4, len(text) - 100)
    put("wrong-unpacked-size-small.qx", bytes(small))
    large = bytearray(good)
    struct.pack_into("<I", large, first + 4, len(text) + 100)
    put("wrong-unpacked-size-large.qx", bytes(large))
    corrupt = bytearray(good)
    corrupt[first + 20] ^= 0x55
    put("corrupt-zlib.qx", bytes(corrupt))
    put("unknown-tag.qx", good[:first] + b"ZIP\0" + good[first + 4:])
    zero = bytearray(good)
    struct.pack_into("<I", zero, first + 4, 0)
    put("zero-unpacked-size.qx", bytes(zero))
    bomb = bytearray(good)
    struct.pack_into("<I", bomb, first + 4, 0xFFFFFFF0)
    put("impossible-unpacked-size.qx", bytes(bomb))
    count = bytearray(good)
    struct.pack_into("<I", count, 16, 0x7FFFFFFF)
    put("huge-entry-count.qx", bytes(count))
    negative = bytearray(good)
    struct.pack_into("<I", negative, 16, 0xFFFFFFFF)
    put("negative-entry-count.qx", bytes(negative))
    offset = bytearray(good)
    struct.pack_into("<I", offset, 8 + 12 + 2 + 19, 0)
    put("offset-into-header.qx", bytes(offset))
    stored = bytearray(good)
    struct.pack_into("<I", stored, 8 + 12 + 2 + 19 + 4, 0xFFFFFF00)
    put("huge-stored-size.qx", bytes(stored))
    put("stored-size-eight.qx", archive([(b"a", b"PAC\0\x03\0\0\0")]))
    put("unsafe-names.qx", archive([(b"..\\escape.txt", pac(b"x")), (b"C:\\drive.txt", pac(b"y")),
                                    (b"\\\\host\\share\\n.txt", pac(b"z")), (b"ok.txt", pac(b"ok"))]))
    put("name-without-terminator.qx", good[:20] + b"\xff\xff" + b"A" * 30)
    # Offset 8 makes the directory itself look like a well-formed "RAW" block.
    inside = bytearray(good)
    struct.pack_into("<I", inside, 8 + 12 + 2 + 19, 8)
    put("offset-into-directory.qx", bytes(inside))
    checksum = bytearray(good)
    checksum[first + 8 + len(zlib.compress(text, 9)) - 1] ^= 0x01
    put("bad-checksum.qx", bytes(checksum))
    long_text = b"".join(b"line %d of a text longer than one streaming piece\n" % i for i in range(4000))
    put("valid-several-pieces.qx", archive([(b"long.txt", pac(long_text))]))
    put("raw-block-cut-short.qx", archive([(b"raw.txt", raw(b"stored as is"))])[:-4])


if __name__ == "__main__":
    main()
