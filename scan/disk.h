#pragma once
// One usable drive for scanning: its examined record, its reader, and the
// files and folders of its last scan.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "scan/reader_links.h"
#include "scan/scan_context.h"
#include "volume/file_type.h"
#include "volume/read_outcome.h"
#include "volume/records.h"
#include "volume/volume_reader.h"

class TMyDisk {
    // First: the reader holds on to them until it goes.
    std::unique_ptr<ProgressRecordSink> progress_;
    std::unique_ptr<SelectionFilter> filter_;
    volume::ReadingStatus status_ = volume::ReadingStatus::Done;
    bool searchesFreeSpace_ = false;

public:
    TMyDisk(const std::string& driveName, uint32_t driveType, const ScanContext& context);
    // A drive whose bytes come from its own source (a volume inside a larger image, say).
    TMyDisk(std::unique_ptr<TDriverInfo> drive, const ScanContext& context);
    ~TMyDisk();
    TMyDisk(const TMyDisk&) = delete;
    TMyDisk& operator=(const TMyDisk&) = delete;

    std::unique_ptr<TDriverInfo> Drive;
    std::string Caption;
    // The reader of the drive's file system; null when no reader accepted it.
    std::unique_ptr<VolumeReader> Reader;
    // Why no reader accepted the drive, when none did.
    volume::ReadingStatus Refusal = volume::ReadingStatus::Done;
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
    // How the last reading phase ended.
    volume::ReadingStatus Status() const { return status_; }
    // Why the reader could not read what its listing needs; Read when it could.
    volume::ReadOutcome Outcome() const;
    // After a scan: the list is empty because a structure the listing needs
    // could not be read, so it says nothing about what the volume holds.
    bool ReadNothing() const;
    uint8_t FileSystem() const { return Drive->FileSystem; }
    // Whether the file system's reader also searches the volume's free space
    // (the deep scan: FAT and exFAT for lost folders). Choosing again makes
    // the reader anew, on the scan's thread: making one may read the volume.
    // A drive read by content, or one no reader took, stays as it is.
    void SearchFreeSpace(bool search);
};

using DiskList = std::vector<std::unique_ptr<TMyDisk>>;

// The disk of a drive name, opening the drive (or volume image) when it is
// not in the list yet; null when it is no usable NTFS, FAT or exFAT volume.
TMyDisk* DiskFor(DiskList& disks, const std::string& name, const ScanContext& context);
// The disk of a drive (or volume image) not listed yet, examined; null when
// it is no usable NTFS, FAT or exFAT volume.
std::unique_ptr<TMyDisk> OpenDisk(const std::string& name, const ScanContext& context);
// The listed disk of a drive name, without opening anything; null when none is.
TMyDisk* ListedDisk(const DiskList& disks, const std::string& name);

// Brings the list up to the drives the system has now. Volume images named
// earlier stay while their file exists. `shuttingDown` ends it early.
// `locked`, when given, receives the drives that the system would not let
// this process open (raw drives need administrator rights).
void RefreshDrives(DiskList& disks, const ScanContext& context, const std::atomic<bool>* shuttingDown = nullptr,
                   std::vector<std::string>* locked = nullptr);
