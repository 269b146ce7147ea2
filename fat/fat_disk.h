#pragma once
// The reader of one FAT12, FAT16 or FAT32 volume: geometry and allocation table, the
// directory walk that finds deleted entries, and the assembly of results.
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "fat/fat_geometry.h"
#include "fat/free_cluster_map.h"
#include "platform/read_faults.h"
#include "volume/file_type.h"
#include "volume/folder_tree.h"
#include "volume/found_by_content.h"
#include "volume/read_outcome.h"
#include "volume/records.h"
#include "volume/reader_context.h"
#include "volume/volume_reader.h"

namespace fat {
// One copy of the allocation table as read, with the sectors it could not give.
struct TableCopy {
    std::vector<uint8_t> bytes;
    std::vector<bool> lost;
};
} // namespace fat

class TDISK_FAT : public VolumeReader {
public:
    TDISK_FAT(TDriverInfo* drive, const volume::ReaderContext& context);
    ~TDISK_FAT() override;

    static constexpr uint64_t kNoEntry = ~uint64_t{0};

    TDriverInfo* Drive = nullptr;
    uint64_t ClusterCount = 0;
    uint64_t DataStartCluster = 0;
    uint32_t DataStartRemainder = 0;
    // One past the index of the last whole cluster of the data region (capped
    // by what the device holds). The table may have slots beyond it: padding
    // that reads as free but names no cluster on the volume.
    uint64_t DataEndIndex = 0;
    uint8_t EntrySize = 32;
    uint64_t FatSize = 0;
    std::vector<uint8_t> Fat;
    std::deque<TMyFolder*> FolderQueue;
    uint32_t QueuedFolders = 0;
    uint32_t FoldersFound = 0;
    uint32_t AcceptedFiles = 0;
    uint32_t FoldersBeforeUnknown = 0;
    double Percent = 0;

    struct ClusterHint {
        uint16_t highWord = 0;
        uint8_t timeLow = 0, timeHigh = 0;
    };
    std::vector<ClusterHint> ClusterHints;  // emptied when a scan starts

    // The first-cluster search reads one sector per candidate; these bound it.
    static constexpr uint32_t kSearchReadsPerFile = 64;
    static constexpr uint32_t kSearchReadsPerScan = 8192;

    volume::ReadingStatus Enumerate(FileList& files, FolderList& folders) override;
    uint32_t ListResults(FileList& files, FolderList& folders, CategoryList* categories,
                         std::vector<TMyFile*>* accepted) override;
    bool IsStopped() const;
    void Stop() override { stop_.Request(); }
    // A walk counts the entries it reads, not records known beforehand.
    uint32_t RecordEstimate() const override { return 0; }
    std::string FileSystemName() const override;
    volume::ReadOutcome Outcome() const override { return outcome_; }
    bool BackupBootSectorUsed() const override { return backupBootUsed_; }
    bool LoadFat();
    uint64_t FatEntry(uint64_t index) const;
    // Follows a folder's chain from `startIndex`; `rootForm` checks the stop test at every step.
    bool BuildRuns(TMyFolder& folder, uint32_t bytesPerCluster, uint64_t startIndex, bool rootForm);
    std::string VolumeLabel() override;

    // Volume-relative cluster index of cluster number N, and the byte offset of an index.
    uint64_t IndexOf(uint64_t clusterNumber) const { return clusterNumber + DataStartCluster - 2; }
    bool InDataArea(uint64_t index) const { return index >= DataStartCluster && index < DataEndIndex; }
    uint64_t DataClusterCount() const { return DataEndIndex - DataStartCluster; }
    int64_t OffsetOf(uint64_t index) const {
        return static_cast<int64_t>(index * BytesPerCluster + uint64_t{DataStartRemainder} * BytesPerSector);
    }

    // Directory parsing, exposed for tests of single clusters. Entries in
    // `lost` (offsets into `data`: sectors that could not be read) are passed
    // over, and the folder goes on after them.
    bool ParseEntries(TMyFolder& folder, std::span<uint8_t> data, FileList& files, FolderList& folders,
                      std::span<const platform::ByteRange> lost = {});
    bool MatchesSignature(std::string& extension, int64_t offset);
    // The first-cluster search of every deleted file that asked for one, once
    // every entry of the volume is known; the walk runs it when it ends.
    void RunFirstClusterSearches();

    // The table's free clusters of the data region, as grading consults them.
    fat::FreeClusterMap FreeClusters() const;
    // The grade of a file from the table, and from the position of the first
    // cluster a newer deleted file took (-1: none).
    uint8_t Grade(const TMyFile& file, const fat::FreeClusterMap& free, int64_t takenByNewer = -1) const;

private:
    // A path deeper than this cannot be opened on Windows (32,767 units, at
    // least two per level); nesting beyond it is damage.
    static constexpr uint32_t kMaxFolderDepth = 16383;
    // A FAT directory holds at most 65,536 entries.
    static constexpr uint64_t kMaxDirectoryBytes = 65536 * 32;

    struct FolderWalk {
        bool chainLost = false;  // its first cluster is free: the table no longer holds its chain
    };
    struct PendingSearch {
        TMyFile* file = nullptr;
        std::array<uint8_t, 32> entry{};
        uint16_t hint = 0;
    };

    bool geometryValid_ = false;
    fat::Geometry geometry_;  // as decoded; the fields below and above mirror it
    uint16_t BytesPerSector = 0;
    uint8_t SectorsPerCluster = 0;
    uint32_t BytesPerCluster = 0;
    uint64_t TotalSectors = 0;
    uint64_t SectorsPerFat = 0;
    uint8_t FatCount = 0;
    uint64_t ReservedSectors = 0;
    uint64_t RootCluster = 0;
    volume::ReadDamage* Damage() const { return Drive ? &Drive->Damage : nullptr; }
    bool TakeGeometry(std::span<const uint8_t> boot);  // decodes and adopts it
    bool TakeBackupBootSector();
    // The root folder of FAT12/16: one run over its fixed region.
    void SetFixedRootRuns(TMyFolder& root) const;
    uint32_t RootBytes() const;  // what VolumeLabel reads of the root folder
    // Merges the other copies of the table into Fat: sectors the first copy
    // could not give, and entries the copies disagree on. With `keep`, each
    // copy read is kept there whole, with its unreadable sectors.
    void MergeTableCopies(uint64_t offset, std::vector<bool>& sectorKnown, std::vector<fat::TableCopy>* keep);
    volume::ReaderContext context_;
    volume::StopToken stop_;
    // Read unless a structure the walk needs could not be read at all.
    volume::ReadOutcome outcome_ = volume::ReadOutcome::Read;
    bool backupBootUsed_ = false;
    int64_t rootOffset_ = 0;

    // What the walk has learnt about the volume so far; reset when a scan starts.
    std::vector<FolderWalk> folderWalk_;             // by the folder's ListIndex
    std::unordered_set<uint64_t> folderClusters_;    // every cluster of every folder taken into the walk
    std::vector<uint32_t> knownFirstClusters_;       // of every entry met, live or deleted
    std::vector<PendingSearch> pendingSearches_;
    // By creation time (two bytes): the high word of the latest hint made then.
    std::unordered_map<uint16_t, uint16_t> latestHint_;
    std::vector<bool> fileEntryDeleted_;             // by ListIndex; false: a live file in a deleted folder
    uint32_t searchReads_ = 0;

    // Entries of files the walk met, while lost folders are parsed: their copies are passed over.
    const std::unordered_set<uint32_t>* knownBeforeLostSearch_ = nullptr;

    void ResetWalkState();
    void Walk(FileList& files, FolderList& folders);
    void WalkQueue(FileList& files, FolderList& folders, bool reportPercent = true);
    // The deep scan's search of the free clusters for folders no walk reaches.
    void FindLostFolders(FileList& files, FolderList& folders, volume::FoundByContent& found);
    // The deep scan's search by content of the free clusters, less those of
    // every file and folder the walk found (fat_free_space.cpp).
    void SearchFreeSpace(FileList& files, FolderList& folders, volume::FoundByContent& found);
    bool ReadFolder(TMyFolder& folder, FileList& files, FolderList& folders);
    void ReadOnPastFirstCluster(TMyFolder& folder, std::vector<uint8_t>& data);
    void CollectHints(std::span<const uint8_t> data);
    uint16_t HintFor(std::span<const uint8_t> entry) const;
    void QueueFirstClusterSearch(std::span<const uint8_t> entry, TMyFile& file);
    void RecoverFirstCluster(PendingSearch& search);
    bool MayHoldFileStart(uint32_t clusterNumber) const;
    std::unique_ptr<TMyFile> MakeFile(std::span<const uint8_t> entry, const TMyFolder& parsed, std::string name);
    bool ClaimFolderClusters(TMyFolder& folder);
    void RegisterFolder(std::unique_ptr<TMyFolder> folder, const std::string& name, FolderList& folders,
                        bool chainLost);
    TMyFile* RegisterFile(std::unique_ptr<TMyFile> file, FileList& files, bool entryDeleted);
    std::vector<int64_t> TakenByNewerFiles(const FileList& files, const fat::FreeClusterMap& free) const;
    volume::FolderTree::Setup TreeSetup();
    volume::FolderTree tree_{TreeSetup()};
    void SetDiskPercent(double percent);
    // What SetDiskPercent reports: base + percent * scale, so that one phase can fill part of the bar.
    double percentBase_ = 0, percentScale_ = 1.0;
};
