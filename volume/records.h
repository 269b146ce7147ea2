#pragma once
// The records a scan fills: the examined drive, found files, rebuilt folders.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "media/byte_source.h"
#include "volume/boot_probe.h"
#include "volume/salvaging_read.h"

using FileTime = uint64_t;  // 100 ns ticks since 1601-01-01, UTC

// State words of a found file.
enum : uint8_t { kStateUnjudged = 0, kStatePoor = 1, kStateGood = 2, kStateExcellent = 3 };

enum : uint8_t { kFileSystemUnknown = 0, kFileSystemNtfs = 1, kFileSystemFat32 = 2, kFileSystemContent = 3 };
// FAT12 and FAT16 are read by the FAT32 reader but keep codes of their own,
// so that listings name them and FAT32's stay as they were.
enum : uint8_t { kFileSystemFat16 = 4, kFileSystemFat12 = 5, kFileSystemExfat = 6 };
inline bool IsFatFileSystem(uint8_t fileSystem) {
    return fileSystem == kFileSystemFat32 || fileSystem == kFileSystemFat16 || fileSystem == kFileSystemFat12;
}

// How a file was found: by a file system's record of it, by its content
// alone, or (NTFS) by a record of an earlier MFT left in free clusters,
// which places the file under "Found by content" by itself.
enum : uint8_t { kFoundByRecord = 0, kFoundByContent = 1, kFoundByOldRecord = 2 };

// The parent of a folder that has none: the root, or one whose parent is not
// known yet; as a parent's key, a reference that names no folder.
constexpr int64_t kNoParent = -1;

// A compression unit that NTFS does not write: the data cannot be decompressed.
constexpr uint32_t kUnreadableCompression = UINT32_MAX;

// One extent of a file's data.
struct TMyFileRun {
    int64_t RunStart = 0;         // byte offset on the volume; for resident data the MFT record's position
    int64_t RunLength = 0;        // bytes
    uint32_t ResidentOffset = 0;  // resident data: offset of the value inside the record
    bool OnVolume = true;         // false: the data lives inside the MFT record
    bool IsHole = false;          // a sparse stretch: reads as zeros, occupies no clusters
    // A resident record that straddles two MFT extents: bytes in the first piece, and where the rest lies.
    uint32_t SplitLength = 0;
    int64_t SplitStart = -1;
};

struct TDriverInfo {
    // Opens the drive or image for reading; Examine decides what it holds.
    TDriverInfo(const std::string& driveName, uint32_t driveType);
    // A volume whose bytes come from `source` (a stretch of a larger image, say).
    TDriverInfo(const std::string& driveName, uint32_t driveType, std::unique_ptr<media::ByteSource> source);
    ~TDriverInfo();
    TDriverInfo(const TDriverInfo&) = delete;
    TDriverInfo& operator=(const TDriverInfo&) = delete;

    bool IsSystemDrive = false;
    std::string DriveName;
    std::unique_ptr<media::ByteSource> Source;  // null: could not be opened
    uint32_t DriveType = 0;
    uint8_t FileSystem = kFileSystemUnknown;
    std::vector<uint8_t> BootSector;  // 512 bytes, or empty
    // The boot sector came from its backup: the primary could not be read or decoded.
    bool BootSectorIsBackup = false;
    // Sector 0 could not be read, and no backup boot sector stood in for it.
    bool BootSectorUnreadable = false;
    uint16_t SectorSize = 0;
    uint32_t UnitSize = 1024;
    bool SizesKnown = false;
    int64_t FreeBytes = 0;
    int64_t TotalBytes = 0;
    // Bytes of the volume as its file system declares them, capped by what the
    // device holds; data beyond it is never read. 0 until a reader sets it.
    int64_t VolumeBytes = 0;
    // What the last scan of this drive could not read; the readers count into it.
    volume::ReadDamage Damage;

    bool HandleValid() const { return Source != nullptr; }
    // Reads the boot sector through Source and decides the file system (the
    // first probe that accepts the primary, else the first that finds a
    // backup) and the sizes.
    void Examine(std::span<const volume::BootProbe> probes);
};

struct TMyFile {
    TDriverInfo* Drive = nullptr;
    std::string FileName;
    std::string FolderPath;
    int64_t RecordNo = -1;
    int64_t ParentRecordNo = kNoParent;
    // NTFS: the sequence number the parent reference names; 0 names none.
    uint16_t ParentSequence = 0;
    int64_t RecordPos = -1;
    int64_t DataPos = 0;
    FileTime ModifiedTime = 0;
    FileTime CreatedTime = 0;
    FileTime AccessedTime = 0;
    // NTFS: when the MFT record last changed. Unlike the other times no
    // program sets it, and a file that takes freed clusters changes its
    // record after the earlier owner's last change.
    FileTime ChangedTime = 0;
    bool HasTimes = false;
    std::vector<TMyFileRun> Runs;
    int64_t AllocatedSize = 0;
    // What the result list reads of every file for a filter, a sort or a
    // check mark stands together, in one cache line.
    int64_t FileSize = 0;
    uint8_t State = kStateUnjudged;
    bool Checked = false;
    uint8_t PreviewKind = 0;
    int32_t FolderIndex = -1;
    int32_t ListIndex = -1;
    uint16_t UpdateSeq = 0;
    uint16_t SavedTail = 0;
    std::string Extension;
    bool Accepted = true;
    bool InFolder = false;
    uint16_t ProgressUnits = 1;
    // Bytes per compression unit when the data is LZNT1-compressed; 0 otherwise;
    // kUnreadableCompression for a compression this program cannot undo.
    uint32_t CompressionUnit = 0;
    // The data is encrypted by the file system: what lies on the volume is ciphertext.
    bool Encrypted = false;
    uint8_t FoundBy = kFoundByRecord;
};

struct TMyFolder {
    TDriverInfo* Drive = nullptr;
    int64_t ParentIndex = kNoParent;
    int32_t ListIndex = 0;
    int64_t ParentRecordNo = kNoParent;
    uint16_t ParentSequence = 0;  // NTFS: as for a file
    int64_t RecordNo = -1;
    bool IsDeleted = false;
    std::string FolderName;
    int64_t RecordPos = 0;
    FileTime ModifiedTime = 0;
    FileTime CreatedTime = 0;  // 0: the file system keeps none, or it did not decode
    bool InTree = false;
    bool InParent = false;
    uint32_t FileCount = 0;
    std::string DisplayName;
    std::vector<TMyFileRun> Runs;
    std::vector<TMyFolder*> SubFolders;  // not owned
    std::vector<TMyFile*> Files;         // not owned
};

using FileList = std::vector<std::unique_ptr<TMyFile>>;
using FolderList = std::vector<std::unique_ptr<TMyFolder>>;

// The state word the result list shows; an unjudged file shows as Poor.
std::string StateText(uint8_t state);
// The fixed English word, for machine-readable output.
const char* StateWord(uint8_t state);
