#pragma once
// The reader of one NTFS volume: geometry, MFT records, the enumeration of
// deleted files with their folder tree, and the listing pass that grades them.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ntfs/listing_ahead.h"
#include "ntfs/newer_extents.h"
#include "ntfs/ntfs_geometry.h"
#include "ntfs/record_parse.h"
#include "platform/read_faults.h"
#include "volume/file_type.h"
#include "volume/folder_tree.h"
#include "volume/read_outcome.h"
#include "volume/records.h"
#include "volume/reader_context.h"
#include "volume/volume_reader.h"

namespace volume {
class FoundByContent;
}
namespace ntfs {
struct AttributeView;
struct FileReference;
} // namespace ntfs

class TNTFS_Disk : public VolumeReader {
public:
    TNTFS_Disk(TDriverInfo* drive, const volume::ReaderContext& context);
    ~TNTFS_Disk() override;

    std::unique_ptr<TMyFile> MftFile;
    std::unique_ptr<TMyFile> BitmapFile;
    TDriverInfo* Drive = nullptr;
    uint32_t ClusterSize = 0;  // up to 2 MiB
    int64_t MftSize = 0;
    uint32_t RecordSize = 0;
    uint32_t AcceptedCount = 0;
    std::vector<uint8_t> Bitmap;  // present only during a listing pass

    // Decoding one record buffer of RecordSize bytes; the buffer is repaired in place.
    bool ParseFileRecord(TMyFile& file, std::span<uint8_t> record);
    bool ParseFolderRecord(TMyFolder& folder, std::span<uint8_t> record);
    int64_t RecordOffset(int64_t n) const;
    bool IsStopped() const;

    // The reading phase: every deleted file with data, and the folders it needs.
    volume::ReadingStatus Enumerate(FileList& files, FolderList& folders) override;
    // The listing pass; returns the number of files accepted.
    uint32_t ListResults(FileList& files, FolderList& folders, CategoryList* categories,
                         std::vector<TMyFile*>* results) override;
    void Stop() override { stop_.Request(); }
    std::string FileSystemName() const override { return "NTFS"; }
    volume::ReadOutcome Outcome() const override { return outcome_; }
    bool BackupBootSectorUsed() const override { return backupBootUsed_; }

    bool LoadBitmap();
    bool ClusterInUse(int64_t cluster) const;
    bool OverlapsNewer(const FileList& files, const TMyFile& file, size_t position) const;

    uint32_t RecordEstimate() const override { return RecordSize ? static_cast<uint32_t>(MftSize / RecordSize) : 0; }
    std::string VolumeLabel() override;

    // The list index of the folder standing for a record, or -1.
    int32_t FindFolder(int64_t recordNo) const { return tree_.Find(recordNo); }

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
        FileTime created = 0;
        bool deleted = false;
        bool parsed = false;
    };

    // Where this source's unreadable sectors and lost records are tallied.
    volume::ReadDamage* Damage() const { return Drive ? &Drive->Damage : nullptr; }
    bool ReadGeometry();
    bool TakeGeometry(std::span<const uint8_t> boot);  // decodes and adopts it
    bool TakeBackupBootSector();
    ntfs::Geometry geometry_;  // as the boot sector in use declares it
    int64_t TotalClusters = 0;
    // Asked between a record's attributes.
    ntfs::StopTest stopTest_{[](const void* disk) { return static_cast<const TNTFS_Disk*>(disk)->IsStopped(); }, this};
    // The bytes of a part of the MFT, or nothing when a sector of them cannot be read.
    std::optional<std::vector<uint8_t>> ReadMftBytes(uint64_t offset, uint32_t count, bool& unreadable);
    std::optional<std::vector<uint8_t>> ReadMirrorRecord(int64_t n);
    void LoseRecord(int64_t n);
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
    // The deep scan's search of the clusters $Bitmap marks free, less those
    // of the files found, by content (ntfs_free_space.cpp).
    void SearchFreeSpace(FileList& files, FolderList& folders);
    // The records of an earlier MFT in those clusters, looked for in the
    // bytes that search reads (ntfs_old_records.cpp): the files they
    // describe that the MFT does not list, in folders rebuilt under "Found
    // by content".
    class OldRecords {
    public:
        // `listed`: the files the MFT gave, which an old record does not list again.
        OldRecords(TNTFS_Disk& disk, const FileList& listed);
        // The records in `bytes`, read at `offset` of the volume.
        void Look(uint64_t offset, std::span<const uint8_t> bytes);
        // The files found, each in its folder.
        FileList Finish(volume::FoundByContent& found);

    private:
        void Take(std::span<uint8_t> record, int64_t position);

        TNTFS_Disk& disk_;
        uint32_t step_;
        std::vector<uint8_t> record_;
        FileList files_;
        // The first extents of the files listed: an old record of one of
        // them (a table that moved) would list it a second time.
        std::set<std::pair<int64_t, int64_t>> listedExtents_;
        // Two copies of one record (tables left by two formats, say) give one file.
        std::set<std::tuple<int64_t, uint16_t, int64_t, std::string>> taken_;
        // Folders by record number, with where their record lies; several
        // when tables of different times hold one.
        std::multimap<int64_t, std::pair<DirectoryInfo, int64_t>> directories_;
    };
    // Whether the MFT's record of that number is the old record's file still.
    bool CurrentMftHolds(const TMyFile& old, uint16_t sequence);
    // Grades a file of an earlier MFT but for newer files over its clusters; true when that is still to ask.
    bool GradeOldRecordFile(TMyFile& file, bool haveBitmap);
    void ScanRecord(std::span<uint8_t> record, int64_t index, int64_t position, uint32_t splitLength,
                    int64_t splitStart, FileList& files);
    DirectoryInfo ReadDirectoryInfo(std::span<uint8_t> record);
    std::unique_ptr<TMyFolder> FolderFromInfo(const DirectoryInfo& info, int64_t n) const;
    std::optional<DirectoryInfo> DirectoryRecord(int64_t n);
    volume::FolderTree::Setup TreeSetup();
    void Grade(TMyFile& file, size_t position, const FileList& files, bool haveBitmap);
    ntfs::Grading GradeAlone(const TMyFile& file, bool haveBitmap) const;
    void ApplyGrade(TMyFile& file, const ntfs::Grading& grading, size_t position, const FileList& files);
    // All of the grade but whether a newer file took the clusters.
    static void ApplyGradeAlone(TMyFile& file, const ntfs::Grading& grading);

    volume::ReaderContext context_;
    volume::StopToken stop_;
    // Read unless a structure the listing needs could not be read at all.
    volume::ReadOutcome outcome_ = volume::ReadOutcome::Read;
    bool backupBootUsed_ = false;
    volume::FolderTree tree_{TreeSetup()};  // of the list being built by Enumerate and ListResults
    std::unordered_map<int64_t, DirectoryInfo> directories_;
    std::vector<bool> recordSeen_;
    std::unordered_set<int64_t> lostRecords_;  // records whose sectors could not be read, counted once
    std::vector<int64_t> mftRunEnds_;  // cumulative logical ends of the MFT's runs
    // Built on the first overlap question of a listing pass, for that pass's list.
    mutable std::unique_ptr<NewerExtents> newerExtents_;
    mutable const FileList* newerExtentsOf_ = nullptr;
    std::optional<ntfs::PreparedListing> prepared_;  // done beside the reading, for the listing pass
    // The files the MFT gave come first in the list, those found by content after them.
    size_t recordFiles_ = 0;
    // The part of the bar the reading of the MFT fills: half when the free space is searched after it.
    double mftShare_ = 1.0;
};
