#pragma once
// One usable drive for scanning: its examined record, its reader, and the
// files and folders of its last scan.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "volume/file_type.h"
#include "volume/records.h"
#include "volume/scan_context.h"

class TNTFS_Disk;
class TDISK_FAT;

class TMyDisk {
public:
    TMyDisk(const std::string& driveName, uint32_t driveType, const ScanContext& context);
    ~TMyDisk();
    TMyDisk(const TMyDisk&) = delete;
    TMyDisk& operator=(const TMyDisk&) = delete;

    std::unique_ptr<TDriverInfo> Drive;
    std::string Caption;
    std::unique_ptr<TNTFS_Disk> NtfsReader;
    std::unique_ptr<TDISK_FAT> FatReader;
    bool HasReader = false;
    std::string DriveName;
    bool Selected = false;
    uint32_t AcceptedCount = 0;
    FileList Files;
    FolderList Folders;

    void ClearFiles();
    void ClearFolders();
    void Reset();
    void Enumerate();
    void ListResults(std::vector<TMyFile*>* results, CategoryList* categories);
    void Stop();
    uint32_t RecordEstimate() const;
    uint8_t FileSystem() const { return Drive->FileSystem; }
};

using DiskList = std::vector<std::unique_ptr<TMyDisk>>;

// The disk of a drive name, opening the drive (or volume image) when it is
// not in the list yet; null when it is no usable NTFS or FAT32 volume.
TMyDisk* DiskFor(DiskList& disks, const std::string& name, const ScanContext& context);

// Brings the list up to the drives the system has now. Volume images named
// earlier stay while their file exists. `shuttingDown` ends it early.
// `locked`, when given, receives the drives that the system would not let
// this process open (raw drives need administrator rights).
void RefreshDrives(DiskList& disks, const ScanContext& context, const std::atomic<bool>* shuttingDown = nullptr,
                   std::vector<std::string>* locked = nullptr);
