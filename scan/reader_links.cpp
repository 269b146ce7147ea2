#include "scan/reader_links.h"

#include "scan/progress.h"
#include "scan/scan_selection.h"

void ProgressRecordSink::SetPercent(double percent) { progress_.FDiskPercent = percent; }
void ProgressRecordSink::RecordParsed() { progress_.FParsedRecords.Add(1.0); }
void ProgressRecordSink::RecordRead() { progress_.FRecordsRead.Add(1); }
void ProgressRecordSink::FileFound() { progress_.FFoundCount.Add(1); }
void ProgressRecordSink::FileListed() { progress_.AddListed(1); }
void ProgressRecordSink::BytesSearched(uint64_t bytes) { progress_.FBytesSearched.Add(bytes); }
bool ProgressRecordSink::ReadingMustEnd(Capped capped) const {
    progress_.WaitWhilePaused();
    const uint32_t counted = capped == Capped::FoundFiles ? uint32_t{progress_.FFoundCount} : uint32_t{progress_.FRecordsRead};
    return progress_.ReadingStopped() || counted >= progress_.FMaxFiles;
}

bool ProgressRecordSink::StopRequested() const { return progress_.FScanCancelled; }
void ProgressRecordSink::WaitWhilePaused() const { progress_.WaitWhilePaused(); }
uint32_t ProgressRecordSink::UnitSize() const { return progress_.FUnitSize; }

bool SelectionFilter::KeepsType(const std::string& extension) const {
    return !types_ || types_->FAllOn || types_->IsSelected(extension);
}

bool SelectionFilter::KeepsLocation(const std::string& folderPath) const {
    return !paths_ || paths_->KeepsFile(driveName_, folderPath);
}

uint8_t SelectionFilter::PreviewKindOf(const std::string& extension) const {
    return types_ ? types_->PreviewKindOf(extension) : static_cast<uint8_t>(kPreviewNone);
}

int SelectionFilter::CategoryOf(const std::string& extension) const {
    return types_ ? types_->CategoryOf(extension) : -1;
}
