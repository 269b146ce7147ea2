"""Volumes whose file system reads well but no longer leads to old files,
for the deep scan's search of free space by content; made by
make-content-images.

Each volume first holds every sample kind (content_samples) behind a filler
file, then is formatted again over them (NTFS: `mkntfs -Q`; FAT32: mkfs.fat;
exFAT: mkfs.exfat), and then gets files of its own: some kept ("live"),
some deleted ("deleted"), whose records the readers still find. The
newer files land where the filler lay, so the old ones are left whole.

The manifest is the oracle. "formatted": each old file with the byte offset
The Sleuth Kit gave before the format, its size and sha256, and "intact":
whether its bytes are still there afterwards and its first cluster is
free in the new file system. "live" and "deleted": the newer files with
their byte runs on the volume as The Sleuth Kit gives them.
"""
import hashlib
import os
import random
import re
import subprocess
import tempfile
import time

import content_samples

FORMAT = 1  # bumped when the volumes change: older images are rebuilt
VOLUME_BYTES = 64 << 20
# FAT32 needs 65,525 clusters at least: on this size, a sector each.
CLUSTER = {"ntfs": 4096, "fat32": 512, "exfat": 4096}
FILLER_BYTES = 3 << 20
LIVE = ("kept-photo.jpg", "kept-picture.png", "kept-report.pdf")
DELETED = ("gone-photo.jpg", "gone-picture.png", "gone-report.pdf")

env = dict(os.environ, MTOOLS_SKIP_CHECK="1", LC_ALL="C.UTF-8")


def run(*args):
    return subprocess.run(args, check=True, env=env, capture_output=True, text=True).stdout


def newer_files(seed):
    rng = random.Random(seed)
    return {
        "photo.jpg": content_samples.jpeg(rng, 48, 32, 60000),
        "picture.png": content_samples.png(rng, 90, 70),
        "report.pdf": content_samples.pdf(rng),
    }


def old_files():
    rng = random.Random(4141)
    # The filler comes first, where the newer files will be written.
    return [("filler.bin", rng.randbytes(FILLER_BYTES))] + content_samples.samples(seed=41)


# ---- where The Sleuth Kit says a file lies ---------------------------------

def inodes(image, deleted=False):
    found = {}
    for line in run("fls", "-r", "-p", image).splitlines():
        m = re.match(r"[-r]/r (\*\s+)?(\d+)(?:-\d+-\d+)?:\s+(.*)$", line)
        if m and bool(m.group(1)) == deleted:
            found[m.group(3)] = m.group(2)
    return found


def data_units(image, inode, ntfs):
    """The units (NTFS: clusters; FAT, exFAT: sectors) of the file's data, in order."""
    text = run("istat", image, inode)
    if ntfs:
        m = re.search(r"Type: \$DATA \(128-\d+\)[^\n]*Non-Resident[^\n]*\n((?:[\d ]+\n)+)", text)
        return [int(u) for u in m.group(1).split()] if m else []
    return [int(u) for u in re.findall(r"\d+", text.split("Sectors:", 1)[1]) if u != "0"]


def byte_runs(units, unit_bytes, size):
    needed = (size + unit_bytes - 1) // unit_bytes
    runs = []
    for u in units[:needed]:
        if runs and runs[-1][0] + runs[-1][1] == u * unit_bytes:
            runs[-1][1] += unit_bytes
        else:
            runs.append([u * unit_bytes, unit_bytes])
    return runs


def allocated(image, unit):
    return "Not Allocated" not in run("blkstat", image, str(unit))


# ---- writing through a mount ------------------------------------------------

class Mounted:
    """A volume image mounted through FUSE for the length of a `with`."""

    def __init__(self, image, kind):
        self.image, self.kind = image, kind

    def __enter__(self):
        self.dir = tempfile.mkdtemp(prefix="free-space-")
        self.loop = None
        if self.kind == "ntfs":
            self.process = subprocess.Popen(["ntfs-3g", "-o", "no_detach", self.image, self.dir],
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        else:
            self.loop = run("losetup", "-f", "--show", self.image).strip()
            self.process = None
            run("mount.exfat-fuse", self.loop, self.dir)
        for _ in range(100):
            if subprocess.run(["mountpoint", "-q", self.dir]).returncode == 0:
                return self
            time.sleep(0.1)
        raise SystemExit("make-content-images: cannot mount %s" % self.image)

    def write(self, name, data):
        with open(os.path.join(self.dir, name), "wb") as f:
            f.write(data)

    def remove(self, name):
        os.remove(os.path.join(self.dir, name))

    def __exit__(self, *exc):
        os.sync()
        run("umount", self.dir)
        if self.process:
            self.process.wait()
        if self.loop:
            run("losetup", "-d", self.loop)
        os.rmdir(self.dir)


def write_fat(image, tmp, name, data):
    local = os.path.join(tmp, "file")
    with open(local, "wb") as f:
        f.write(data)
    run("mcopy", "-i", image, local, "::/" + name)


# ---- the volumes -------------------------------------------------------------

def format_volume(kind, image):
    if kind == "ntfs":
        run("mkntfs", "-Q", "-F", "-q", "-s", "512", "-c", str(CLUSTER[kind]), "-L", "NEW", image)
    elif kind == "fat32":
        run("mkfs.fat", "-F", "32", "-s", str(CLUSTER[kind] // 512), "-S", "512", "-n", "NEW", image)
    else:
        run("mkfs.exfat", "-c", str(CLUSTER[kind]), "-L", "NEW", image)


def write_all(kind, image, files, remove=()):
    if kind == "fat32":
        with tempfile.TemporaryDirectory() as tmp:
            for name, data in files:
                write_fat(image, tmp, name, data)
        for name in remove:
            run("mdel", "-i", image, "::/" + name)
        return
    with Mounted(image, kind) as volume:
        for name, data in files:
            volume.write(name, data)
        for name in remove:
            volume.remove(name)


def build(kind, image):
    ntfs = kind == "ntfs"
    unit_bytes = CLUSTER[kind] if ntfs else 512
    partial = image + ".part"
    with open(partial, "wb") as f:
        f.truncate(VOLUME_BYTES)
    format_volume(kind, partial)
    old = old_files()
    write_all(kind, partial, old)
    where = inodes(partial)
    formatted = []
    for name, data in old[1:]:
        runs = byte_runs(data_units(partial, where[name], ntfs), unit_bytes, len(data))
        if len(runs) != 1:
            continue  # resident, or in pieces: not what the search by content finds whole
        formatted.append({"name": name, "offset": runs[0][0], "size": len(data), "kind": name.rsplit(".", 1)[1],
                          "sha256": hashlib.sha256(data).hexdigest()})

    format_volume(kind, partial)
    live = [(n, d) for n, d in zip(LIVE, newer_files(51).values())]
    gone = [(n, d) for n, d in zip(DELETED, newer_files(52).values())]
    write_all(kind, partial, live + gone, remove=DELETED)

    where = inodes(partial)
    lost = inodes(partial, deleted=True)
    newer = {"live": [], "deleted": []}
    for group, names, files in (("live", where, live), ("deleted", lost, gone)):
        for name, data in files:
            runs = byte_runs(data_units(partial, names[name], ntfs), unit_bytes, len(data))
            newer[group].append({"name": name, "size": len(data), "runs": runs,
                                 "sha256": hashlib.sha256(data).hexdigest()})

    with open(partial, "rb") as f:
        for e in formatted:
            f.seek(e["offset"])
            same = hashlib.sha256(f.read(e["size"])).hexdigest() == e["sha256"]
            e["intact"] = same and not allocated(partial, e["offset"] // unit_bytes)
    os.replace(partial, image)
    return {"image": os.path.basename(image), "format": FORMAT, "cluster_size": CLUSTER[kind], "formatted": formatted,
            **newer}


def build_large_mft(image):
    """An NTFS volume whose MFT is read in several pieces (over 10 MiB: the
    reader grades beside the reading): every sample kind written and deleted,
    then 13,000 small files whose records take the samples' records again,
    half of them deleted. The samples' data lies in free clusters no record
    leads to."""
    partial = image + ".part"
    with open(partial, "wb") as f:
        f.truncate(128 << 20)
    run("mkntfs", "-Q", "-F", "-q", "-s", "512", "-c", "4096", "-L", "MANY", partial)
    samples = content_samples.samples(seed=77)
    with Mounted(partial, "ntfs") as volume:
        for name, data in samples:
            volume.write(name, data)
        os.sync()
        for name, _ in samples:
            volume.remove(name)
        os.makedirs(os.path.join(volume.dir, "many"))
        for i in range(13000):
            volume.write("many/f%05d.txt" % i, b"x" * 100)
        for i in range(0, 13000, 2):
            volume.remove("many/f%05d.txt" % i)
    os.replace(partial, image)
    return {"image": os.path.basename(image), "format": FORMAT,
            "samples": [{"name": n, "size": len(d), "sha256": hashlib.sha256(d).hexdigest()} for n, d in samples]}


def build_old_tree(image):
    """An NTFS volume quick-formatted over a tree of folders whose files are
    of no kind the search by content knows (random bytes, and small files
    kept inside their records). The old MFT had outgrown the new one: its
    later records, folders' and files', lie in clusters the new volume marks
    free. Small files written first take the records the new MFT writes over.

    The manifest: each old folder and file with its path, its record number
    and whether its record is still there byte for byte ("record_survives");
    each file's size and sha256, and whether its data is still there and
    free ("intact")."""
    partial = image + ".part"
    with open(partial, "wb") as f:
        f.truncate(VOLUME_BYTES)
    run("mkntfs", "-Q", "-F", "-q", "-s", "512", "-c", "4096", "-L", "OLD", partial)
    rng = random.Random(6161)
    folders = ["Documents", "Documents/Letters", "Documents/Letters/2021", "Photos", "Photos/Trip"]
    files = []
    for i, folder in enumerate(folders * 4):
        size = rng.choice([300, 700]) if i % 5 == 0 else rng.randrange(5000, 60000)
        files.append(("%s/item%02d.dat" % (folder, i), rng.randbytes(size)))
    files += [("loose%02d.bin" % i, rng.randbytes(rng.randrange(9000, 30000))) for i in range(20)]
    with Mounted(partial, "ntfs") as volume:
        for i in range(12):
            volume.write("pad%02d.txt" % i, b"pad")
        for folder in folders:
            os.makedirs(os.path.join(volume.dir, folder))
        for name, data in files:
            volume.write(name, data)

    mft = data_units(partial, "0", True)
    record_bytes = 1024

    def record_at(inode):
        at = inode * record_bytes
        return mft[at // 4096] * 4096 + at % 4096

    def read(offset, length):
        with open(partial, "rb") as f:
            f.seek(offset)
            return f.read(length)

    where = inodes(partial)
    dirs = {}
    for line in run("fls", "-r", "-p", partial).splitlines():
        m = re.match(r"d/d (\d+)(?:-\d+-\d+)?:\s+(.*)$", line)
        if m:
            dirs[m.group(2)] = int(m.group(1))
    old_folders = [{"path": p, "inode": dirs[p], "record": read(record_at(dirs[p]), record_bytes)} for p in folders]
    old_files = []
    for name, data in files:
        inode = int(where[name])
        runs = byte_runs(data_units(partial, str(inode), True), 4096, len(data))
        old_files.append({"path": name, "inode": inode, "size": len(data), "resident": not runs, "runs": runs,
                          "sha256": hashlib.sha256(data).hexdigest(), "record": read(record_at(inode), record_bytes)})

    run("mkntfs", "-Q", "-F", "-q", "-s", "512", "-c", "4096", "-L", "NEW", partial)
    for entry in old_folders + old_files:
        offset = record_at(entry["inode"])
        entry["record_survives"] = read(offset, record_bytes) == entry.pop("record") and not allocated(partial,
                                                                                                       offset // 4096)
    for entry in old_files:
        data = b"".join(read(offset, length) for offset, length in entry["runs"])[:entry["size"]]
        whole = hashlib.sha256(data).hexdigest() == entry["sha256"] and not any(
            allocated(partial, offset // 4096) for offset, _ in entry["runs"])
        entry["intact"] = entry["record_survives"] if entry["resident"] else whole
    os.replace(partial, image)
    return {"image": os.path.basename(image), "format": FORMAT, "cluster_size": 4096, "folders": old_folders,
            "files": old_files}
