#pragma once
// The drives a disk image brings to a drive list: one per volume a reader
// accepts, each named "disk.img#N" and captioned after its partition, so
// that the window lists and scans them as it does any drive.
#include <memory>
#include <string>
#include <vector>

#include "scan/disk.h"
#include "scan/disk_volumes.h"

namespace scan {

// "disk.img — Partition 2 (NTFS, 50.0 MB)"; an image in a container names
// its format too: "disk.E01 (E01) — Partition 2 (NTFS, 50.0 MB)".
std::string PartitionCaption(const std::string& disk, const DiskVolume& volume);

// The drives of the readable volumes of the disk or disk image at `path`;
// empty when it is no disk (a bare volume, or nothing readable on it).
// `search` says how far lost volumes are looked for where no table leads
// to one (the full search reads the whole disk).
std::vector<std::unique_ptr<TMyDisk>> OpenDiskDrives(const std::string& path, const ScanContext& context,
                                                     const PartitionSearch& search = {});

// The stretches of the disk or disk image at `path` that no partition holds,
// each a drive searched by content (as a deep scan lists them after the
// partitions); empty when it is no disk or has no such stretch.
std::vector<std::unique_ptr<TMyDisk>> OpenUnpartitionedSpace(const std::string& path, const ScanContext& context);

// Whether `name` is a drive of a disk image ("disk.img#2" of an existing
// image), which a refresh of the drive list keeps as it keeps images.
bool IsImagePartitionDrive(const std::string& name);

} // namespace scan
