#pragma once
// The file systems this program reads: for each, its reader's probe and the
// factory that makes the reader. A drive is examined with every probe in
// this order, and gets the reader of the one that accepts it.
#include <memory>
#include <span>

#include "volume/boot_probe.h"
#include "volume/reader_context.h"
#include "volume/read_outcome.h"
#include "volume/records.h"
#include "volume/volume_reader.h"

namespace scan {

struct ReaderEntry {
    volume::BootProbe probe;
    std::unique_ptr<VolumeReader> (*make)(TDriverInfo* drive, const volume::ReaderContext& context);
};

std::span<const ReaderEntry> Readers();

// Reads the drive's boot sector and decides its file system with the probes.
void ExamineDrive(TDriverInfo& drive);

struct ChosenReader {
    std::unique_ptr<VolumeReader> reader;  // null: no reader accepted the drive
    volume::ReadingStatus status = volume::ReadingStatus::Done;  // why none did
};

// The reader of an examined drive. With `byContent`, a drive that no file
// system reader accepts is handed to the content search (for the signatures
// `signatures` names; all when null), and its file system becomes "content".
ChosenReader MakeReader(TDriverInfo& drive, const volume::ReaderContext& context, bool byContent = false,
                        const std::vector<bool>* signatures = nullptr);

} // namespace scan
