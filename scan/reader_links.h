#pragma once
// The scan's side of a reader's narrow context: its progress record as the
// reader's progress sink, and the user's choices on one drive as its filter.
#include <string>

#include "scan/scan_context.h"
#include "volume/reader_context.h"

class ProgressRecordSink final : public volume::ProgressSink {
public:
    explicit ProgressRecordSink(TUnDeleteProgress& progress) : progress_(progress) {}
    void SetPercent(double percent) override;
    void RecordParsed() override;
    void RecordRead() override;
    void FileFound() override;
    void FileListed() override;
    void BytesSearched(uint64_t bytes) override;
    bool ReadingMustEnd(Capped capped) const override;
    bool StopRequested() const override;
    void WaitWhilePaused() const override;
    uint32_t UnitSize() const override;

private:
    TUnDeleteProgress& progress_;
};

// The type and location choices as they bear on the files of one drive.
class SelectionFilter final : public volume::FileFilter {
public:
    SelectionFilter(const TScanFileType* types, const TScanPath* paths, std::string driveName)
        : types_(types), paths_(paths), driveName_(std::move(driveName)) {}
    bool KeepsType(const std::string& extension) const override;
    bool KeepsLocation(const std::string& folderPath) const override;
    uint8_t PreviewKindOf(const std::string& extension) const override;
    int CategoryOf(const std::string& extension) const override;

private:
    const TScanFileType* types_;
    const TScanPath* paths_;
    std::string driveName_;
};
