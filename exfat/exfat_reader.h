#pragma once
// The reader of one exFAT volume: the boot region (or its backup), the
// allocation table and bitmap, the walk of live and deleted folders that
// finds deleted entry sets, and the grading of what it found.
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "exfat/entry_set.h"
#include "exfat/exfat_geometry.h"
#include "platform/read_faults.h"
#include "volume/folder_tree.h"
#include "volume/found_by_content.h"
#include "volume/read_outcome.h"
#include "volume/reader_context.h"
#include "volume/records.h"
#include "volume/volume_reader.h"

namespace exfat {

// A stretch of clusters one after another.
struct ClusterRun {
    uint32_t first = 0;
    uint32_t count = 0;
};

class ExfatReader : public VolumeReader {
public:
    ExfatReader(TDriverInfo* drive, const volume::ReaderContext& context);

    volume::ReadingStatus Enumerate(FileList& files, FolderList& folders) override;
    uint32_t ListResults(FileList& files, FolderList& folders, CategoryList* categories,
                         std::vector<TMyFile*>* accepted) override;
    void Stop() override { stop_.Request(); }
    uint32_t RecordEstimate() const override { return 0; }
    std::string VolumeLabel() override { return label_; }
    std::string FileSystemName() const override { return "exFAT"; }
    volume::ReadOutcome Outcome() const override { return outcome_; }
    bool BackupBootSectorUsed() const override { return backupBootUsed_; }

    const Geometry& VolumeGeometry() const { return geometry_; }
    // Whether the bitmap marks a cluster in use; clusters outside the heap count as in use.
    bool InUse(uint32_t cluster) const;
    // Where a set's data lies, in clusters: contiguous when it has no chain;
    // else its chain while that still leads through clusters the bitmap
    // shows free (a live set: its whole chain), and where a deleted set's
    // chain is gone, the free clusters that follow.
    std::vector<ClusterRun> PlaceData(const EntrySet& set) const;

private:
    // An exFAT directory holds at most 256 MiB of entries.
    static constexpr uint64_t kMaxDirectoryBytes = 256ull << 20;
    static constexpr uint32_t kMaxFolderDepth = 16383;
    // Clusters in use a lost chain may be taken to have gone round, in all.
    static constexpr uint64_t kMaxPassedClusters = 1u << 16;

    bool TakeBootRegion();
    bool TakeGeometry(std::span<const uint8_t> bootSector);
    bool LoadTable();
    uint32_t TableEntry(uint32_t cluster) const;
    bool LoadBitmap(uint32_t firstCluster, uint64_t length);
    bool IsStopped() const;
    void SetPercent(double percent);

    // A folder's entries as read, with the ranges (from its first byte) that
    // could not be read and hold zeros.
    struct FolderData {
        std::vector<uint8_t> bytes;
        std::vector<platform::ByteRange> lost;
        uint64_t lostBytes = 0;
    };
    FolderData ReadFolderData(const TMyFolder& folder);
    // Reads the queued folders; `fromRoot`: the walk from the root, which moves the bar.
    void WalkQueue(FileList& files, bool fromRoot);
    // The deep scan's search of the free clusters for folders no walk reaches.
    void FindLostFolders(FileList& files, volume::FoundByContent& found);
    // The deep scan's search by content of the free clusters, less those of
    // every file and folder the walk found (exfat_free_space.cpp).
    void SearchFreeSpace(FileList& files, FolderList& folders, volume::FoundByContent& found);
    void ParseFolder(TMyFolder& folder, const FolderData& read, FileList& files);
    // Where byte `pos` of a folder's data lies on the volume; -1: past its runs.
    static int64_t VolumeOffsetIn(const TMyFolder& folder, size_t pos);
    void TakeFileSet(const EntrySet& set, const TMyFolder& parent, FileList& files);
    void TakeFolderSet(const EntrySet& set, const TMyFolder& parent);
    bool ClaimFolderClusters(const std::vector<ClusterRun>& runs);
    std::vector<TMyFileRun> ByteRuns(const std::vector<ClusterRun>& runs, uint64_t validBytes) const;
    uint8_t Grade(size_t fileIndex, int64_t takenByNewer) const;
    std::vector<int64_t> TakenByNewerFiles() const;
    volume::FolderTree::Setup TreeSetup();

    TDriverInfo* drive_ = nullptr;
    volume::ReaderContext context_;
    volume::StopToken stop_;
    volume::ReadOutcome outcome_ = volume::ReadOutcome::Read;
    bool geometryValid_ = false;
    bool backupBootUsed_ = false;
    Geometry geometry_;
    std::vector<uint32_t> table_;
    std::vector<uint8_t> bitmap_;  // empty: the volume's bitmap could not be read
    std::string label_;
    double percent_ = 0;

    // What the walk learnt; reset when a scan starts.
    struct Found {
        std::vector<ClusterRun> clusters;  // where its data is taken to lie
        uint64_t clusterCount = 0;
        uint64_t wantedClusters = 0;  // what the data length needs
        FileTime created = 0;
        bool entryDeleted = false;  // false: a live file in a deleted folder
        bool checksumMatches = true;
    };
    std::vector<Found> found_;  // by the file's ListIndex
    std::deque<TMyFolder*> queue_;
    std::unordered_set<uint32_t> folderClusters_;
    std::vector<uint32_t> knownFirstClusters_;  // of every set met, live or deleted
    // While lost folders are parsed: sets with these first clusters are copies, passed over.
    const std::unordered_set<uint32_t>* knownBeforeLostSearch_ = nullptr;
    uint32_t foldersFound_ = 0;
    volume::FolderTree tree_{TreeSetup()};
};

} // namespace exfat
