#pragma once
// The reader of one FAT32 volume: geometry and allocation table, the
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

#include "fat/free_cluster_map.h"
#include "volume/file_type.h"
#include "volume/records.h"
#include "volume/scan_context.h"

class TDISK_FAT {
public:
    TDISK_FAT(TDriverInfo* drive, const ScanContext& context);
    ~TDISK_FAT();

    static constexpr uint64_t kNoEntry = ~uint64_t{0};
    static constexpr int64_t kRootParent = 4294967280;  // beyond any list: the root has no parent

    TDriverInfo* Drive = nullptr;
    uint16_t BytesPerSector = 0;
    uint8_t SectorsPerCluster = 0;
    uint32_t BytesPerCluster = 0;
    uint64_t TotalSectors = 0;
    uint64_t ClusterCount = 0;
    uint64_t SectorsPerFat = 0;
    uint8_t FatCount = 0;
    uint64_t ReservedSectors = 0;
    uint64_t DataStartCluster = 0;
    uint32_t DataStartRemainder = 0;
    uint64_t RootCluster = 0;
    // One past the index of the last whole cluster of the data region (capped
    // by what the device holds). The table may have slots beyond it: padding
    // that reads as free but names no cluster on the volume.
    uint64_t DataEndIndex = 0;
    uint8_t EntrySize = 32;
    uint64_t FatSize = 0;
    std::vector<uint8_t> Fat;
    std::atomic<bool> Stopped{false};
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

    void Scan(FileList& files, FolderList& folders);
    uint32_t AssembleResults(FileList& files, FolderList& folders, CategoryList* categories,
                             std::vector<TMyFile*>* accepted);
    bool IsStopped() const;
    void RequestStop() { Stopped = true; }
    bool LoadFat();
    uint64_t FatEntry(uint64_t index) const;
    // Follows a folder's chain from `startIndex`; `rootForm` checks the stop test at every step.
    bool BuildRuns(TMyFolder& folder, uint32_t bytesPerCluster, uint64_t startIndex, bool rootForm);
    std::string VolumeLabel();

    // Volume-relative cluster index of cluster number N, and the byte offset of an index.
    uint64_t IndexOf(uint64_t clusterNumber) const { return clusterNumber + DataStartCluster - 2; }
    bool InDataArea(uint64_t index) const { return index >= DataStartCluster && index < DataEndIndex; }
    uint64_t DataClusterCount() const { return DataEndIndex - DataStartCluster; }
    int64_t OffsetOf(uint64_t index) const {
        return static_cast<int64_t>(index * BytesPerCluster + uint64_t{DataStartRemainder} * BytesPerSector);
    }

    // Directory parsing, exposed for tests of single clusters.
    bool ParseEntries(TMyFolder& folder, std::span<uint8_t> data, FileList& files, FolderList& folders);
    static bool IsDotEntry(std::span<const uint8_t> entry);
    void FillFromEntry(std::span<const uint8_t> entry, TMyFile& file) const;
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

    struct LongName {
        std::string text;
        uint8_t checksum = 0;
    };
    struct FolderWalk {
        uint32_t depth = 0;
        bool chainLost = false;  // its first cluster is free: the table no longer holds its chain
    };
    struct PendingSearch {
        TMyFile* file = nullptr;
        std::array<uint8_t, 32> entry{};
        uint16_t hint = 0;
    };

    bool geometryValid_ = false;
    ScanContext context_;
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

    void ResetWalkState();
    void Walk(FileList& files, FolderList& folders);
    bool ReadFolder(TMyFolder& folder, FileList& files, FolderList& folders);
    void ReadOnPastFirstCluster(TMyFolder& folder, std::vector<uint8_t>& data);
    LongName ReadLongName(std::span<const uint8_t> data, size_t& pos) const;
    static std::string ShortName(std::span<const uint8_t> entry);
    void CollectHints(std::span<const uint8_t> data);
    uint16_t HintFor(std::span<const uint8_t> entry) const;
    void QueueFirstClusterSearch(std::span<const uint8_t> entry, TMyFile& file);
    void RecoverFirstCluster(PendingSearch& search);
    bool MayHoldFileStart(uint32_t clusterNumber) const;
    std::unique_ptr<TMyFile> MakeFile(std::span<const uint8_t> entry, const TMyFolder& parsed, std::string name);
    bool ClaimFolderClusters(TMyFolder& folder);
    uint32_t DepthOf(int64_t listIndex) const;
    void RegisterFolder(std::unique_ptr<TMyFolder> folder, const std::string& name, FolderList& folders,
                        bool chainLost);
    TMyFile* RegisterFile(std::unique_ptr<TMyFile> file, FileList& files, bool entryDeleted);
    std::vector<int64_t> TakenByNewerFiles(const FileList& files, const fat::FreeClusterMap& free) const;
    void AttachToFolder(TMyFile& file, FolderList& folders);
    bool AccumulateCounts(FolderList& folders);
    void SetDiskPercent(double percent);
};
