#pragma once
// The reader of one FAT32 volume: geometry and allocation table, the
// directory walk that finds deleted entries, and the assembly of results.
#include <atomic>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

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
    std::vector<ClusterHint> ClusterHints;

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
    int64_t OffsetOf(uint64_t index) const {
        return static_cast<int64_t>(index * BytesPerCluster + uint64_t{DataStartRemainder} * BytesPerSector);
    }

    // Directory parsing, exposed for tests of single clusters.
    bool ParseEntries(TMyFolder& folder, std::span<uint8_t> data, FileList& files, FolderList& folders);
    std::string BuildName(std::span<uint8_t> data, size_t& pos) const;
    static bool IsDotEntry(std::span<const uint8_t> entry);
    void FillFromEntry(std::span<const uint8_t> entry, TMyFile& file) const;
    bool MatchesSignature(std::string& extension, int64_t offset);
    uint8_t GradeByTable(const TMyFile& file) const;

private:
    bool geometryValid_ = false;
    ScanContext context_;
    int64_t rootOffset_ = 0;

    void Walk(FileList& files, FolderList& folders);
    bool ReadFolder(TMyFolder& folder, FileList& files, FolderList& folders);
    void CollectHints(std::span<const uint8_t> data);
    void RecoverFirstCluster(std::span<uint8_t> entry, TMyFile& file);
    std::unique_ptr<TMyFile> MakeFile(std::span<const uint8_t> entry, const TMyFolder& parsed, std::string name);
    void RegisterFolder(std::unique_ptr<TMyFolder> folder, const std::string& name, FolderList& folders);
    void RegisterFile(std::unique_ptr<TMyFile> file, FileList& files);
    void AttachToFolder(TMyFile& file, FolderList& folders);
    bool AccumulateCounts(FolderList& folders);
    void SetDiskPercent(double percent);
};
