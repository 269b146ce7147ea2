#!/usr/bin/env python3
# Seeds for fuzz_fat_folders: the table sector (128 slots), then data
# clusters 2, 3, ... of 512 bytes. usage: seed_fat_folders.py OUTDIR
import os, struct, sys

EOC = 0x0FFFFFFF


def entry(name11, attributes, cluster, size=0, first=None):
    e = bytearray(32)
    e[0:11] = name11.encode('latin-1')
    if first is not None:
        e[0] = first
    e[11] = attributes
    e[14:18] = bytes([0x00, 0x60, 0x21, 0x52])  # made 2021-01-01 12:00
    struct.pack_into('<H', e, 20, cluster >> 16)
    struct.pack_into('<H', e, 26, cluster & 0xFFFF)
    struct.pack_into('<I', e, 28, size)
    return bytes(e)


def checksum(name11):
    s = 0
    for b in name11.encode('latin-1'):
        s = (((s & 1) << 7) + (s >> 1) + b) & 0xFF
    return s


def long_name(text, short11, deleted=False):
    units = [ord(c) for c in text] + [0]
    while len(units) % 13:
        units.append(0xFFFF)
    pieces = [units[i:i + 13] for i in range(0, len(units), 13)]
    out = b''
    for k in range(len(pieces), 0, -1):
        e = bytearray(32)
        e[0] = 0xE5 if deleted else (k | (0x40 if k == len(pieces) else 0))
        e[11] = 0x0F
        e[13] = checksum(short11)
        slots = [1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30]
        for u, at in zip(pieces[k - 1], slots):
            struct.pack_into('<H', e, at, u)
        out += bytes(e)
    return out


def dots(own, parent):
    return entry('.          ', 0x10, own) + entry('..         ', 0x10, parent)


def volume(table, clusters):
    fat = bytearray(512)
    table = dict(table)
    table.setdefault(0, 0x0FFFFFF8)
    table.setdefault(1, EOC)
    for slot, value in table.items():
        struct.pack_into('<I', fat, slot * 4, value)
    last = max(clusters)
    data = bytearray(512 * (last - 1))
    for n, content in clusters.items():
        data[(n - 2) * 512:(n - 2) * 512 + len(content)] = content[:512]
    return bytes(fat) + bytes(data)


seeds = {}
# A tree: a live folder with a subfolder, a deleted folder over three free
# clusters, deleted files with long names, one with a damaged name.
seeds['tree'] = volume(
    {2: EOC, 3: EOC, 5: EOC, 30: 31, 31: EOC},
    {
        2: entry('VOLUME     ', 0x08, 0) + long_name('Documents', 'DOCUME~1') + entry('DOCUME~1   ', 0x10, 3)
        + long_name('report.docx', 'REPORT~1DOC', True) + entry('REPORT~1DOC', 0x20, 40, 1000, first=0xE5)
        + entry('OLD        ', 0x10, 20, first=0xE5) + entry('KEPT    BIN', 0x20, 30, 700),
        3: dots(3, 0) + entry('SUB        ', 0x10, 5) + entry('NOTES   TXT', 0x00, 41, 300, first=0xE5)
        + long_name('Summer Holiday.png', 'SUMMER~1PNG', True) + entry('EPORT   DOC', 0x20, 42, 600, first=0xE5),
        5: dots(5, 3) + entry('GONE       ', 0x10, 25, first=0xE5) + entry('ZERO    JPG', 0x20, 1, 900, first=0xE5),
        20: dots(20, 0) + b''.join(entry('F%02d     TXT' % i, 0x20, 50 + i, 100, first=0xE5) for i in range(14)),
        21: b''.join(entry('G%02d     TXT' % i, 0x20, 0, 0, first=0xE5) for i in range(16)),
        22: entry('H00     TXT', 0x20, 60, 5000, first=0xE5),
        25: dots(25, 5) + entry('DEEP    TXT', 0x20, 64, 2000, first=0xE5),
        40: b'PK\x03\x04',
    })
# Twelve folders, each listing the eleven others.
cross = {2: entry('CROSS      ', 0x10, 3)}
for k in range(12):
    cross[3 + k] = dots(3 + k, 0) + b''.join(entry('F%02d        ' % j, 0x10, 3 + j) for j in range(12) if j != k) \
        + entry('FILE    TXT', 0x20, 0, 0, first=0xE5)
seeds['cross'] = volume({c: EOC for c in range(2, 15)}, cross)
# A root chain that loops, and a folder chain that runs into the root.
seeds['loops'] = volume({2: 3, 3: 2, 4: 2},
                        {2: entry('A          ', 0x10, 4), 3: entry('B          ', 0x10, 2), 4: dots(4, 0)})

os.makedirs(sys.argv[1], exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(sys.argv[1], name), 'wb') as f:
        f.write(data)
