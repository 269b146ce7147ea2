"""Small, real files of the formats the content search decodes, written with
Python's standard library and hand-written encoders (no picture libraries):
each is a valid file of its kind, large enough to span several clusters."""
import io
import random
import struct
import wave
import zipfile
import zlib


def _segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def _exif(taken, zone):
    """A little-endian TIFF structure whose EXIF IFD holds DateTimeOriginal
    and OffsetTimeOriginal, as cameras write them."""
    date, offset = taken.encode() + b"\x00", zone.encode() + b"\x00"
    exif_ifd = 8 + 2 + 12 + 4
    data = exif_ifd + 2 + 2 * 12 + 4
    out = b"II*\x00" + struct.pack("<I", 8)
    out += struct.pack("<H", 1) + struct.pack("<HHII", 34665, 4, 1, exif_ifd) + struct.pack("<I", 0)
    out += struct.pack("<H", 2) + struct.pack("<HHII", 36867, 2, len(date), data)
    out += struct.pack("<HHII", 36881, 2, len(offset), data + len(date)) + struct.pack("<I", 0)
    return out + date + offset


# The dates some samples keep inside themselves, and the same instants in
# UTC as the manifest gives them: the deep scan shows them as the files' times.
TAKEN = ("2024:07:14 09:30:05", "+02:00")
MOVIE_MADE = 3_800_000_000  # seconds since 1904
KEPT_DATES_UTC = {"photo1.jpg": "2024-07-14 07:30:05", "clip.mp4": "2024-05-31 11:33:20"}


def jpeg(rng, blocks_wide=32, blocks_high=32, comment_bytes=20000, thumbnail=True, taken=None):
    """A greyscale baseline JPEG: every 8x8 block flat (DC difference 0, end of
    block), with the standard luminance tables; random comments make it large,
    and an APP1 holds a whole thumbnail JPEG whose own end marker must not end
    the walk."""
    out = bytearray(b"\xFF\xD8")
    out += _segment(0xE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    if thumbnail:
        thumb = jpeg(rng, 2, 2, 0, False)
        # An EXIF block: the TIFF header, then the thumbnail as its data.
        tiff = _exif(*taken) if taken else b"II*\x00\x08\x00\x00\x00\x00\x00"
        out += _segment(0xE1, b"Exif\x00\x00" + tiff + thumb)
    out += _segment(0xDB, b"\x00" + bytes(rng.randrange(1, 100) for _ in range(64)))
    out += _segment(0xC0, b"\x08" + struct.pack(">HH", blocks_high * 8, blocks_wide * 8) + b"\x01\x01\x11\x00")
    out += _segment(0xC4, b"\x00" + bytes(_DC_BITS) + bytes(range(12)))
    out += _segment(0xC4, b"\x10" + bytes(_AC_BITS) + _AC_VALS)
    remaining = comment_bytes
    while remaining > 0:
        take = min(remaining, 65000)
        body = bytes(rng.getrandbits(8) for _ in range(take))
        out += _segment(0xFE, body)
        remaining -= take
    out += _segment(0xDA, b"\x01\x01\x00\x00\x3F\x00")
    # DC category 0 is "00", the end of block "1010": six bits a block.
    bits = "001010" * (blocks_wide * blocks_high)
    bits += "1" * (-len(bits) % 8)
    out += bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
    out += b"\xFF\xD9"
    return bytes(out)


# The standard luminance tables: code counts by length, then the symbols.
_DC_BITS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
_AC_BITS = [0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D]
_AC_VALS = bytes.fromhex(
    "01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282090a161718191a25262728292a3435"
    "363738393a434445464748494a535455565758595a636465666768696a737475767778797a838485868788898a92939495969798"
    "999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4"
    "f5f6f7f8f9fa")


def _huffman_codes(bits, values):
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[values[k]] = (code, length)
            code, k = code + 1, k + 1
        code <<= 1
    return codes


class _ScanWriter:
    """Bits into bytes, a zero stuffed after every 0xFF."""
    def __init__(self):
        self.out, self.acc, self.held = bytearray(), 0, 0

    def put(self, value, length):
        self.acc = (self.acc << length) | (value & ((1 << length) - 1))
        self.held += length
        while self.held >= 8:
            self.held -= 8
            byte = (self.acc >> self.held) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)
        self.acc &= (1 << self.held) - 1

    def pad(self):
        if self.held:
            self.put((1 << (8 - self.held)) - 1, 8 - self.held)


def textured_jpeg(rng, mcus_wide=40, mcus_high=30, restart=0):
    """A colour baseline JPEG as cameras write them: Y sampled 2x2 against Cb
    and Cr, every block with its own DC difference and a random run of AC
    coefficients (noise to look at, but each code as an encoder emits it),
    the luminance tables given twice (for Y, and for Cb and Cr), and a
    restart marker every `restart` MCUs when asked."""
    dc_codes = _huffman_codes(_DC_BITS, list(range(12)))
    ac_codes = _huffman_codes(_AC_BITS, _AC_VALS)
    out = bytearray(b"\xFF\xD8")
    out += _segment(0xE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    for table in range(2):
        out += _segment(0xDB, bytes([table]) + bytes(rng.randrange(1, 60) for _ in range(64)))
    out += _segment(0xC0, b"\x08" + struct.pack(">HH", mcus_high * 16, mcus_wide * 16) +
                    b"\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01")
    for table in range(2):
        out += _segment(0xC4, bytes([table]) + bytes(_DC_BITS) + bytes(range(12)))
        out += _segment(0xC4, bytes([0x10 | table]) + bytes(_AC_BITS) + _AC_VALS)
    if restart:
        out += _segment(0xDD, struct.pack(">H", restart))
    out += _segment(0xDA, b"\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00")
    scan = _ScanWriter()
    predictors = [0, 0, 0]
    mcus = mcus_wide * mcus_high
    for mcu in range(mcus):
        for component in (0, 0, 0, 0, 1, 2):
            value = max(-400, min(400, predictors[component] + rng.randrange(-60, 61)))
            diff, predictors[component] = value - predictors[component], value
            size = abs(diff).bit_length()
            scan.put(*dc_codes[size])
            scan.put(diff if diff >= 0 else diff + (1 << size) - 1, size)
            k = 1
            while k < 64 and rng.random() < 0.85:
                run = rng.randrange(0, 6)
                if k + run > 63:
                    break
                coefficient = rng.choice([-1, 1]) * rng.randrange(1, 90)
                size = coefficient.bit_length() if coefficient > 0 else (-coefficient).bit_length()
                scan.put(*ac_codes[(run << 4) | size])
                scan.put(coefficient if coefficient > 0 else coefficient + (1 << size) - 1, size)
                k += run + 1
            if k < 64:
                scan.put(*ac_codes[0x00])
        if restart and (mcu + 1) % restart == 0 and mcu + 1 < mcus:
            scan.pad()
            scan.out += bytes([0xFF, 0xD0 + ((mcu + 1) // restart - 1) % 8])
            predictors = [0, 0, 0]
    scan.pad()
    return bytes(out + scan.out + b"\xFF\xD9")


def _chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(rng, width=200, height=150):
    rows = b"".join(b"\x00" + bytes(rng.getrandbits(8) for _ in range(width * 3)) for _ in range(height))
    data = zlib.compress(rows, 6)
    out = b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    out += _chunk(b"tEXt", b"Comment\x00made for the content search tests")
    for i in range(0, len(data), 16384):
        out += _chunk(b"IDAT", data[i:i + 16384])
    return out + _chunk(b"IEND", b"")


def gif(rng, width=160, height=120):
    """Uncompressed LZW: a clear code before the table would need wider codes."""
    pixels = bytes(rng.randrange(0, 256) for _ in range(width * height))
    codes, bits = [], 9
    for i, p in enumerate(pixels):
        if i % 254 == 0:
            codes.append(256)
        codes.append(p)
    codes.append(257)
    acc = n = 0
    data = bytearray()
    for c in codes:
        acc |= c << n
        n += bits
        while n >= 8:
            data.append(acc & 0xFF)
            acc >>= 8
            n -= 8
    if n:
        data.append(acc & 0xFF)
    out = bytearray(b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF7, 0, 0))
    out += bytes(rng.getrandbits(8) for _ in range(256 * 3))
    out += b"\x21\xF9\x04\x00\x00\x00\x00\x00"
    out += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0) + b"\x08"
    for i in range(0, len(data), 255):
        piece = data[i:i + 255]
        out += bytes([len(piece)]) + piece
    out += b"\x00\x3B"
    return bytes(out)


def bmp(rng, width=150, height=100):
    row = (width * 3 + 3) // 4 * 4
    pixels = b"".join(bytes(rng.getrandbits(8) for _ in range(width * 3)) + b"\x00" * (row - width * 3)
                      for _ in range(height))
    header = b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def pdf(rng, pages=3, text_bytes=30000):
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [" + b" ".join(b"%d 0 R" % (3 + 2 * i) for i in range(pages)) +
               b"] /Count %d >>" % pages]
    for i in range(pages):
        words = " ".join("".join(chr(rng.randrange(97, 123)) for _ in range(rng.randrange(2, 9)))
                         for _ in range(text_bytes // 6 // pages))
        stream = ("BT /F1 12 Tf 72 720 Td (" + words + ") Tj ET").encode()
        objects.append(b"<< /Type /Page /Parent 2 0 R /Contents %d 0 R >>" % (4 + 2 * i))
        objects.append(b"<< /Length %d >>\nstream\n" % len(stream) + stream + b"\nendstream")
    out = bytearray(b"%PDF-1.4\n%\xE2\xE3\xCF\xD3\n")
    offsets = []
    for n, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % n + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for o in offsets:
        out += b"%010d 00000 n \n" % o
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return bytes(out)


def _zip(entries, stored_first=False):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        for i, (name, data) in enumerate(entries):
            method = zipfile.ZIP_STORED if (stored_first and i == 0) else zipfile.ZIP_DEFLATED
            info = zipfile.ZipInfo(name, date_time=(2024, 5, 1, 12, 0, 0))
            info.compress_type = method
            z.writestr(info, data)
    return buf.getvalue()


def _noise(rng, n):
    return bytes(rng.getrandbits(8) for _ in range(n))


def _words(rng, n):
    return " ".join("".join(chr(rng.randrange(97, 123)) for _ in range(6)) for _ in range(n)).encode()


def zip_archive(rng):
    return _zip([("notes.txt", _words(rng, 3000)), ("data.bin", _noise(rng, 40000))])


def docx(rng):
    return _zip([("[Content_Types].xml", b"<Types/>"), ("_rels/.rels", b"<Relationships/>"),
                 ("word/document.xml", b"<w:document>" + _words(rng, 5000) + b"</w:document>"),
                 ("word/media/image1.bin", _noise(rng, 20000))])


def xlsx(rng):
    return _zip([("[Content_Types].xml", b"<Types/>"), ("xl/workbook.xml", b"<workbook/>"),
                 ("xl/worksheets/sheet1.xml", _words(rng, 6000))])


def odt(rng):
    return _zip([("mimetype", b"application/vnd.oasis.opendocument.text"), ("content.xml", _words(rng, 5000)),
                 ("Pictures/p.bin", _noise(rng, 15000))], stored_first=True)


def epub(rng):
    return _zip([("mimetype", b"application/epub+zip"), ("OEBPS/ch1.xhtml", _words(rng, 6000)),
                 ("OEBPS/cover.bin", _noise(rng, 10000))], stored_first=True)


def _box(kind, payload):
    return struct.pack(">I", 8 + len(payload)) + kind + payload


def iso_media(rng, brand, movie=b"moov", media_bytes=60000, large_mdat=False, made=None):
    out = _box(b"ftyp", brand + b"\x00\x00\x02\x00" + brand + b"isom")
    header = _noise(rng, 100)
    if made is not None:  # version 0, no flags, then the creation and modification times
        header = b"\x00\x00\x00\x00" + struct.pack(">II", made, made) + header[12:]
    out += _box(movie, _box(b"mvhd", header) + _box(b"trak", _noise(rng, 400)))
    out += _box(b"free", b"\x00" * 16)
    data = _noise(rng, media_bytes)
    if large_mdat:
        out += struct.pack(">I", 1) + b"mdat" + struct.pack(">Q", 16 + len(data)) + data
    else:
        out += _box(b"mdat", data)
    return out


def wav(rng, seconds=1):
    buf = io.BytesIO()
    with wave.open(buf, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(22050)
        w.writeframes(_noise(rng, 22050 * 4 * seconds))
    return buf.getvalue()


def _riff_chunk(kind, data):
    return kind + struct.pack("<I", len(data)) + data + (b"\x00" if len(data) % 2 else b"")


def avi(rng):
    header = _riff_chunk(b"LIST", b"hdrl" + _riff_chunk(b"avih", _noise(rng, 56)))
    frames = b"".join(_riff_chunk(b"00dc", _noise(rng, rng.randrange(3000, 9000))) for _ in range(8))
    body = b"AVI " + header + _riff_chunk(b"LIST", b"movi" + frames) + _riff_chunk(b"idx1", _noise(rng, 128))
    return b"RIFF" + struct.pack("<I", len(body)) + body


def webp(rng):
    body = b"WEBP" + _riff_chunk(b"VP8L", b"\x2F" + _noise(rng, 30001))
    return b"RIFF" + struct.pack("<I", len(body)) + body


def sqlite_database(rng, rows=400):
    import os
    import sqlite3
    import tempfile
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "db.sqlite")
        db = sqlite3.connect(path)
        db.execute("create table notes (id integer primary key, body text)")
        db.executemany("insert into notes (body) values (?)", [(_words(rng, 20).decode(),) for _ in range(rows)])
        db.commit()
        db.close()
        with open(path, "rb") as f:
            return f.read()


def rtf(rng):
    words = _words(rng, 4000).decode()
    return ("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\n{\\pard\\f0 " + words +
            " \\{braces\\} inside\\par}\n}\r\n").encode()


def tiff(rng, width=120, height=90, rows_per_strip=16):
    """A little-endian RGB TIFF: strips after the IFD, which lists them."""
    strip_bytes = [min(rows_per_strip, height - y) * width * 3 for y in range(0, height, rows_per_strip)]
    entries = []
    ifd_at = 8
    count = 10
    values_at = ifd_at + 2 + count * 12 + 4
    bits_at = values_at
    offsets_at = bits_at + 6
    counts_at = offsets_at + 4 * len(strip_bytes)
    data_at = counts_at + 4 * len(strip_bytes)
    offsets, at = [], data_at
    for n in strip_bytes:
        offsets.append(at)
        at += n
    def entry(tag, kind, n, value):
        return struct.pack("<HHII", tag, kind, n, value)
    entries = [entry(256, 4, 1, width), entry(257, 4, 1, height), entry(258, 3, 3, bits_at),
               entry(259, 3, 1, 1), entry(262, 3, 1, 2), entry(273, 4, len(offsets), offsets_at),
               entry(277, 3, 1, 3), entry(278, 4, 1, rows_per_strip),
               entry(279, 4, len(strip_bytes), counts_at), entry(284, 3, 1, 1)]
    out = b"II*\x00" + struct.pack("<I", ifd_at) + struct.pack("<H", count) + b"".join(entries) + b"\0\0\0\0"
    out += struct.pack("<HHH", 8, 8, 8) + b"".join(struct.pack("<I", o) for o in offsets)
    out += b"".join(struct.pack("<I", n) for n in strip_bytes)
    return out + _noise(rng, sum(strip_bytes))


def _ogg_crc(data):
    crc = 0
    for b in data:
        crc ^= b << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) if crc & 0x80000000 else crc << 1
            crc &= 0xFFFFFFFF
    return crc


def ogg(rng, pages=12):
    """One logical stream of pages with random packets, begun and ended."""
    out = bytearray()
    for n in range(pages):
        flags = (2 if n == 0 else 0) | (4 if n == pages - 1 else 0)
        lacing = [255] * rng.randrange(4, 20) + [rng.randrange(0, 255)]
        body = _noise(rng, sum(lacing))
        page = bytearray(b"OggS\x00" + bytes([flags]) + struct.pack("<qIII", n * 1000, 0x2929, n, 0) +
                         bytes([len(lacing)]) + bytes(lacing) + body)
        page[22:26] = struct.pack("<I", _ogg_crc(page))
        out += page
    return bytes(out)


def _vint(n):
    out = bytearray()
    while True:
        byte = n & 0x7F
        n >>= 7
        out.append(byte | (0x80 if n else 0))
        if not n:
            return bytes(out)


def _rar5_block(kind, flags, fields, data=b""):
    """A RAR 5 block: CRC-32, size, type, flags, the data size when there is
    data, the header's own fields, then the data."""
    if data:
        flags |= 0x02
    body = _vint(kind) + _vint(flags) + (_vint(len(data)) if data else b"") + fields
    sized = _vint(len(body)) + body
    return struct.pack("<I", zlib.crc32(sized) & 0xFFFFFFFF) + sized + data


def rar5(rng, files=3):
    """Stored files (method 0) in a RAR 5 archive with its end block."""
    out = bytearray(b"Rar!\x1a\x07\x01\x00")
    out += _rar5_block(1, 0, _vint(0))  # main header, no archive flags
    for n in range(files):
        data = _words(rng, rng.randrange(8000, 30000))
        name = f"part{n}.txt".encode()
        fields = (_vint(0x04) + _vint(len(data)) + _vint(0x20) + struct.pack("<I", zlib.crc32(data) & 0xFFFFFFFF) +
                  _vint(0) + _vint(0) + _vint(len(name)) + name)
        out += _rar5_block(2, 0, fields, data)
    out += _rar5_block(5, 0, _vint(0))
    return bytes(out)


def _rar4_block(kind, flags, rest, data=b""):
    if data:
        flags |= 0x8000
        rest = struct.pack("<I", len(data)) + rest
    header = bytes([kind]) + struct.pack("<HH", flags, 7 + len(rest)) + rest
    return struct.pack("<H", zlib.crc32(header) & 0xFFFF) + header + data


def rar4(rng, files=2):
    """Stored files in a RAR 4 archive: marker, archive header, file blocks, end block."""
    out = bytearray(b"Rar!\x1a\x07\x00")
    out += _rar4_block(0x73, 0, struct.pack("<HI", 0, 0))
    for n in range(files):
        data = _words(rng, rng.randrange(8000, 30000))
        name = f"old{n}.txt".encode()
        rest = (struct.pack("<IBIIBBHI", len(data), 2, zlib.crc32(data) & 0xFFFFFFFF, 0x5A8E3A21, 29, 0x30,
                            len(name), 0x20) + name)
        out += _rar4_block(0x74, 0, rest, data)
    out += _rar4_block(0x7B, 0x4000, b"")
    return bytes(out)


def mp3(rng, frames=300):
    """An ID3v2.3 tag, an Info frame counting the frames, MPEG-1 layer III
    frames at 128 kbit/s and 44.1 kHz (417 bytes, 418 when padded), and an
    ID3v1 tag."""
    title = b"\x00" + b"Dunro test tone"
    frame = b"TIT2" + struct.pack(">IH", len(title), 0) + title
    size = len(frame) + 200  # with padding
    tag = b"ID3\x03\x00\x00" + bytes((size >> s) & 0x7F for s in (21, 14, 7, 0)) + frame + bytes(200)
    out = bytearray(tag)
    for n in range(frames):
        padded = n % 3 == 2
        header = struct.pack(">I", 0xFFFB9000 | (0x200 if padded else 0))
        body = bytearray(_noise(rng, 417 + padded - 4))
        if n == 0:
            body[:36] = bytes(32) + b"Info"
            body[36:48] = struct.pack(">III", 3, frames - 1, 0)
        out += header + body
    out += b"TAG" + b"Dunro test tone".ljust(30, b"\x00") + bytes(95)
    return bytes(out)


def _crc8(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = ((crc << 1) ^ 0x07) & 0xFF if crc & 0x80 else (crc << 1) & 0xFF
    return crc


def _crc16(data):
    crc = 0
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x8005) & 0xFFFF if crc & 0x8000 else (crc << 1) & 0xFFFF
    return crc


def flac(rng, blocks=6, block_size=1152, last_block=700):
    """Mono 16-bit FLAC at 44.1 kHz in verbatim subframes, fixed block size,
    the last block shorter, with a stream info that counts the samples."""
    import hashlib
    sizes = [block_size] * (blocks - 1) + [last_block]
    samples = [bytes(_noise(rng, 2 * n)) for n in sizes]
    frames = []
    for number, (n, pcm) in enumerate(zip(sizes, samples)):
        # Block size code 7: the size less one follows the frame number.
        header = bytes([0xFF, 0xF8, 0x79, 0x08]) + bytes([number]) + struct.pack(">H", n - 1)
        header += bytes([_crc8(header)])
        frame = header + b"\x02" + pcm  # subframe: verbatim, no wasted bits
        frames.append(frame + struct.pack(">H", _crc16(frame)))
    total = sum(sizes)
    lengths = [len(f) for f in frames]
    packed = (44100 << 44) | (0 << 41) | (15 << 36) | total
    md5 = hashlib.md5(b"".join(bytes(p[i + 1:i + 2] + p[i:i + 1]) for p in samples for i in range(0, len(p), 2)))
    info = (struct.pack(">HH", block_size, block_size) + min(lengths).to_bytes(3, "big") +
            max(lengths).to_bytes(3, "big") + struct.pack(">Q", packed) + md5.digest())
    out = b"fLaC" + bytes([0x80]) + len(info).to_bytes(3, "big") + info
    return out + b"".join(frames)


def samples(seed=29):
    """(name, bytes) of one file of every kind, and a few kinds twice."""
    rng = random.Random(seed)
    return [
        ("photo1.jpg", jpeg(rng, taken=TAKEN)),
        ("photo2.jpg", jpeg(rng, 64, 48, 150000)),
        ("photo3.jpg", jpeg(rng, 16, 16, 3000, False)),
        ("picture.png", png(rng)),
        ("icon.png", png(rng, 40, 30)),
        ("anim.gif", gif(rng)),
        ("scan.bmp", bmp(rng)),
        ("report.pdf", pdf(rng)),
        ("archive.zip", zip_archive(rng)),
        ("letter.docx", docx(rng)),
        ("sheet.xlsx", xlsx(rng)),
        ("text.odt", odt(rng)),
        ("book.epub", epub(rng)),
        ("clip.mp4", iso_media(rng, b"isom", made=MOVIE_MADE)),
        ("movie.mov", iso_media(rng, b"qt  ", large_mdat=True)),
        ("phone.3gp", iso_media(rng, b"3gp4")),
        ("song.m4a", iso_media(rng, b"M4A ")),
        ("image.heic", iso_media(rng, b"heic", movie=b"meta")),
        ("sound.wav", wav(rng)),
        ("video.avi", avi(rng)),
        ("picture.webp", webp(rng)),
        ("notes.sqlite", sqlite_database(rng)),
        ("letter.rtf", rtf(rng)),
        ("scan.tif", tiff(rng)),
        ("voice.ogg", ogg(rng)),
        ("backup.rar", rar5(rng)),
        ("old.rar", rar4(rng)),
        ("song.mp3", mp3(rng)),
        ("track.flac", flac(rng)),
    ]
