#!/usr/bin/env python3
# Writes the seed corpora of the stream-reader and registry-store fuzz targets into
# fuzz/corpus-stream/ and fuzz/corpus-registry/ (run from anywhere).
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The stream target's first byte picks the reader.
BUFFER, STRING, IDS4, IDS2, ENTRY = range(5)


def text(t):
    """A String's stream form: 16-bit count including the NUL, the text, the NUL."""
    if t is None:
        return b"\0\0"
    return struct.pack("<H", len(t) + 1) + t + b"\0"


STREAMS = {
    "buffer-empty": bytes([BUFFER]) + struct.pack("<I", 0),
    "buffer-bytes": bytes([BUFFER]) + struct.pack("<I", 5) + b"\x00\x01\xfe\xffA",
    "buffer-cut-short": bytes([BUFFER]) + struct.pack("<I", 9) + b"abc",
    "buffer-huge-size": bytes([BUFFER]) + struct.pack("<I", 0x7FFFFFFF) + b"abcd",
    "string-absent": bytes([STRING]) + text(None),
    "string-empty": bytes([STRING]) + text(b""),
    "string-text": bytes([STRING]) + text(b"Program Files\\Orvane"),
    "string-no-terminator": bytes([STRING]) + struct.pack("<H", 3) + b"abc",
    "string-inner-nul": bytes([STRING]) + struct.pack("<H", 4) + b"a\0b\0",
    "string-cut-short": bytes([STRING]) + struct.pack("<H", 40) + b"abc",
    "ids4-empty": bytes([IDS4]) + struct.pack("<I", 0),
    "ids4-three": bytes([IDS4]) + struct.pack("<Iiii", 3, 5, -1, 0x7FFFFFFF),
    "ids4-cut-short": bytes([IDS4]) + struct.pack("<Ii", 4, 1),
    "ids4-huge-count": bytes([IDS4]) + struct.pack("<Ii", 0x40000000, 1),
    "ids2-two": bytes([IDS2]) + struct.pack("<IHH", 2, 5, 0xFFFF),
    "ids2-many": bytes([IDS2]) + struct.pack("<I", 600) + b"".join(struct.pack("<H", i * 97 % 65536) for i in range(600)),
    "entry-plain": bytes([ENTRY]) + text(b"XPCOM\\npqx2011.dll") + struct.pack("<II", 40, 1234),
    "entry-no-name": bytes([ENTRY]) + text(None) + struct.pack("<II", 0, 0),
    "entry-cut-short": bytes([ENTRY]) + text(b"a") + struct.pack("<I", 7),
}

REGISTRY = {
    "empty.reg": b"REGEDIT4\n\n",
    "values.reg": b"REGEDIT4\n\n"
    b"[HKEY_CURRENT_USER\\Software\\MozillaPlugins\\@orvane.com/Orvane2011]\n"
    b"@=\"default\"\n"
    b"\"Path\"=\"C:\\\\Users\\\\a \\\"b\\\"\\\\npqx2011.dll\"\n"
    b"\"Version\"=dword:0000000b\n"
    b"\"Raw\"=hex:00,01,fe,ff\n"
    b"\"Multi\"=hex(7):61,00,62,00,00,00\n"
    b"\"Empty\"=hex:\n\n"
    b"[HKEY_LOCAL_MACHINE\\Software\\Orvane]\n"
    b"\"QX11Main\"=\"C:\\\\Program Files\\\\Orvane\\\\\"\n\n",
    "nested-keys.reg": b"REGEDIT4\n\n[HKEY_CURRENT_USER\\a\\b\\c\\d]\n\"v\"=\"1\"\n\n[HKEY_CURRENT_USER\\A\\x]\n\n",
    "continued-hex.reg": b"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\k]\r\n\"h\"=hex:01,02,\\\r\n  03,04\r\n",
    "comments.reg": b"\n\nREGEDIT4\n; a comment\n[HKEY_CURRENT_USER\\k]\n; another\n\"s\"=\"\"\n",
    "no-header.reg": b"[HKEY_CURRENT_USER\\k]\n\"s\"=\"x\"\n",
    "value-before-key.reg": b"REGEDIT4\n\"s\"=\"x\"\n",
    "name-twice.reg": b"REGEDIT4\n[HKEY_CURRENT_USER\\k]\n\"s\"=\"x\"\n\"S\"=\"y\"\n",
    "bad-dword.reg": b"REGEDIT4\n[HKEY_CURRENT_USER\\k]\n\"d\"=dword:12345\n",
    "trailing-comma.reg": b"REGEDIT4\n[HKEY_CURRENT_USER\\k]\n\"h\"=hex:01,\n",
    "empty-path-part.reg": b"REGEDIT4\n[HKEY_CURRENT_USER\\\\k]\n",
    "open-quote.reg": b"REGEDIT4\n[HKEY_CURRENT_USER\\k]\n\"s\"=\"abc\n",
}


def main():
    for folder, seeds in (("corpus-stream", STREAMS), ("corpus-registry", REGISTRY)):
        path = os.path.join(HERE, folder)
        os.makedirs(path, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(path, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
