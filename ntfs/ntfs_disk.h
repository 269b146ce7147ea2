#pragma once
// The reader of one NTFS volume: geometry, MFT records, the enumeration of
// deleted files with their folder tree, and the listing pass that grades them.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ntfs/newer_extents.h"
#include "volume/file_type.h"
#include "volume/records.h"
#include "volume/scan_context.h"

namespace ntfs {
struct AttributeView;
struct FileReference;
} // namespace ntfs

class TNTFS_Disk {
public:
    TNTFS_Disk(TDriverInfo* drive, const ScanContext& context);
    ~TNTFS_Disk();

    std::unique_ptr<TMyFile> MftFile;
    std::unique_ptr<TMyFile> BitmapFile;
    TDriverInfo* Drive = nullptr;
    uint32_t ClusterSize = 0;  // up to 2 MiB
    uint16_t SectorSize = 0;
    uint32_t SectorsPerCluster = 0;
    int64_t TotalSectors = 0;
    int64_t TotalClusters = 0;
    int64_t MftCluster = 0;
    int64_t MftSize = 0;
    uint32_t RecordSize = 0;
    uint32_t AcceptedCount = 0;
    std::vector<uint8_t> Bitmap;  // present only during a listing pass
    std::atomic<bool> StopFlag{false};

    // Decoding one record buffer of RecordSize bytes; the buffer is repaired in place.
    bool ParseFileRecord(TMyFile& file, std::span<uint8_t> record);
    bool ParseFolderRecord(TMyFolder& folder, std::span<uint8_t> record);
    int64_t RecordOffset(int64_t n) const;
    bool IsStopped() const;

    // The reading phase: every deleted file with data, and the folders it needs.
    void Enumerate(FileList& files, FolderList& folders);
    // The listing pass; returns the number of files accepted.
    uint32_t ListResults(FileList& files, FolderList& folders, CategoryList* categories,
                         std::vector<TMyFile*>* results);

    bool LoadBitmap();
    bool ClusterInUse(int64_t cluster) const;
    bool OverlapsNewer(const FileList& files, const TMyFile& file, size_t position) const;

    uint32_t RecordEstimate() const { return RecordSize ? static_cast<uint32_t>(MftSize / RecordSize) : 0; }
    std::string VolumeLabel();

    // Folder tree operations, used by the reading phase and the listing pass.
    int32_t FindFolder(int64_t recordNo) const;
    // The folder of a parent reference: record number and the sequence number it names.
    int32_t FolderOf(int64_t recordNo, uint16_t sequence = 0);
    void ResolveParent(TMyFolder* folder);
    void AttachToFolder(TMyFile& file);
    void BuildPath(TMyFile& file);
    void CountUp(TMyFile& file);

private:
    struct RecordBytes {
        std::vector<uint8_t> bytes;
        int64_t position = -1;
        uint32_t splitLength = 0;  // bytes in the first piece when the record straddles two extents
        int64_t splitStart = -1;
        uint32_t inUse = 0;  // once repaired
    };
    // What the folder tree needs of a directory record met while reading the MFT.
    struct DirectoryInfo {
        std::string name;
        int64_t parent = -1;
        uint16_t parentSequence = 0;
        uint16_t sequence = 0;  // the record's own
        FileTime modified = 0;
        bool deleted = false;
        bool parsed = false;
    };
    // Which use of a record a folder stands for.
    struct FolderIdentity {
        uint16_t sequence = 0;
        bool freed = false;
    };
    struct ParentLookup {
        TMyFolder* folder = nullptr;
        bool made = false;         // appended by this look-up
        bool placeholder = false;  // stands for a directory that is gone
    };

    bool ReadGeometry();
    void LoadSystemRecords();
    void MapMft();
    std::optional<RecordBytes> ReadRecord(int64_t n);
    bool ParseAttributes(TMyFile& file, std::span<uint8_t> record);
    bool TakeFileName(TMyFile& file, const ntfs::AttributeView& attribute);
    void NameByRecordNumber(TMyFile& file);
    void ParseData(TMyFile& file, std::span<const uint8_t> record, size_t offset, size_t length);

    // Attribute lists (ntfs_attribute_list.cpp).
    void FollowAttributeList(TMyFile& file, std::span<const uint8_t> base, uint32_t baseInUse);
    std::optional<std::vector<uint8_t>> ReadAttributeList(const ntfs::AttributeView& list);
    std::optional<RecordBytes> ReadExtension(const ntfs::FileReference& holder, int64_t base, uint16_t baseSequence);
    int64_t TakeDataPiece(TMyFile& file, std::span<const uint8_t> record, uint32_t inUse, uint64_t firstVcn,
                          const RecordBytes* holder);
    void ScanMft(FileList& files);
    void ScanRecord(std::span<uint8_t> record, int64_t index, int64_t position, uint32_t splitLength,
                    int64_t splitStart, FileList& files);
    DirectoryInfo ReadDirectoryInfo(std::span<uint8_t> record);
    std::unique_ptr<TMyFolder> FolderFromInfo(const DirectoryInfo& info, int64_t n) const;
    std::optional<DirectoryInfo> DirectoryRecord(int64_t n);
    std::unique_ptr<TMyFolder> Placeholder(int64_t n) const;
    TMyFolder* AppendFolder(std::unique_ptr<TMyFolder> folder);
    TMyFolder* AppendDirectory(std::unique_ptr<TMyFolder> folder, const DirectoryInfo& info);
    ParentLookup FindOrLoadParent(int64_t n, uint16_t sequence);
    ParentLookup StaleParent(int64_t n);
    void AttachToParent(TMyFolder* folder, TMyFolder* parent);
    void Grade(TMyFile& file, size_t position, const FileList& files, bool haveBitmap);

    ScanContext context_;
    FolderList* folders_ = nullptr;  // the list being built by Enumerate and ListResults
    std::unordered_map<int64_t, int32_t> folderByRecord_;  // the folder a record stands for now
    std::unordered_map<int64_t, int32_t> staleFolders_;    // placeholders for earlier uses of a record
    std::unordered_map<int64_t, FolderIdentity> folderIdentity_;
    std::unordered_map<int64_t, DirectoryInfo> directories_;
    std::vector<bool> recordSeen_;
    std::vector<int64_t> mftRunEnds_;  // cumulative logical ends of the MFT's runs
    std::vector<const std::string*> pathNames_;  // scratch of BuildPath
    std::unordered_set<const TMyFolder*> pathFolders_;  // scratch of BuildPath and CountUp
    // Built on the first overlap question of a listing pass, for that pass's list.
    mutable std::unique_ptr<NewerExtents> newerExtents_;
    mutable const FileList* newerExtentsOf_ = nullptr;
};
