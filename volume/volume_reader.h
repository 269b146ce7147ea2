#pragma once
// What every file-system reader offers the scan: a reading phase that finds
// deleted files and the folders they need, and a listing phase that grades
// them and keeps what the user chose. A new file system is a new reader
// folder implementing this, and one line in the registry (scan/).
#include <cstdint>
#include <string>
#include <vector>

#include "volume/file_type.h"
#include "volume/read_outcome.h"
#include "volume/records.h"

class VolumeReader {
public:
    virtual ~VolumeReader() = default;

    // The reading phase: fills `files` and `folders` afresh; says why it ended.
    virtual volume::ReadingStatus Enumerate(FileList& files, FolderList& folders) = 0;
    // The listing phase over what Enumerate found; returns the number of files accepted.
    virtual uint32_t ListResults(FileList& files, FolderList& folders, CategoryList* categories,
                                 std::vector<TMyFile*>* results) = 0;
    // Asks the running phase to end soon; safe from any thread.
    virtual void Stop() = 0;
    // Records the reading phase will go through, for the progress bar; 0 when unknown.
    virtual uint32_t RecordEstimate() const = 0;
    virtual std::string VolumeLabel() = 0;
    // "NTFS", "FAT32": for messages and logs.
    virtual std::string FileSystemName() const = 0;
    // Read unless a structure the listing needs could not be read at all.
    virtual volume::ReadOutcome Outcome() const = 0;
    // The boot sector the reader took its geometry from is the backup.
    virtual bool BackupBootSectorUsed() const = 0;
};
