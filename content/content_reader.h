#pragma once
// The reader that finds files by their content alone: over a whole byte
// source that no file system reader accepted, it lists what the content
// search found under "Found by content", a folder per kind.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "volume/folder_tree.h"
#include "volume/reader_context.h"
#include "volume/records.h"
#include "volume/volume_reader.h"

namespace content {

class ContentReader final : public VolumeReader {
public:
    // `enabled`: the signatures to search for, by their place in Signatures(); empty: all.
    ContentReader(TDriverInfo* drive, const volume::ReaderContext& context, std::vector<bool> enabled = {});

    volume::ReadingStatus Enumerate(FileList& files, FolderList& folders) override;
    uint32_t ListResults(FileList& files, FolderList& folders, CategoryList* categories,
                         std::vector<TMyFile*>* results) override;
    void Stop() override { stop_.Request(); }
    uint32_t RecordEstimate() const override { return 0; }
    std::string VolumeLabel() override { return {}; }
    std::string FileSystemName() const override { return "content"; }
    volume::ReadOutcome Outcome() const override { return volume::ReadOutcome::Read; }
    bool BackupBootSectorUsed() const override { return false; }

private:
    TDriverInfo* drive_;
    volume::ReaderContext context_;
    volume::StopToken stop_;
    volume::FolderTree tree_;
};

// The registry's entry: a byte source no file system reader accepted.
std::unique_ptr<VolumeReader> MakeReader(TDriverInfo* drive, const volume::ReaderContext& context,
                                         std::vector<bool> enabled);

} // namespace content
