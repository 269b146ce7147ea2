#pragma once
// A volume held in the fuzzer's input, examined like a drive.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "scan/progress.h"
#include "scan/reader_links.h"
#include "scan/reader_registry.h"
#include "scan/scan_selection.h"
#include "volume/file_data.h"
#include "volume/file_type.h"
#include "volume/records.h"
#include "scan/scan_context.h"

inline std::unique_ptr<TDriverInfo> MemoryDrive(const uint8_t* data, size_t size) {
    auto drive = std::make_unique<TDriverInfo>("fuzz", 0);
    drive->DriveType = 3;
    drive->Source = std::make_unique<media::DeviceSource>(platform::VolumeDevice::FromMemory(data, size));
    scan::ExamineDrive(*drive);
    return drive;
}

// Reads a found file back the way recovery does, throwing the bytes away.
inline void ReadBack(const TMyFile& file) {
    volume::ReadFileData(file, [](std::span<const uint8_t>, bool) { return true; });
}

// Everything chosen on the one drive "fuzz", as a whole-drive scan runs.
struct FuzzScan {
    TUnDeleteProgress progress;
    TScanFileType types;
    TScanPath paths;
    CategoryList categories = MakeCategories();
    std::vector<TMyFile*> results;
    FuzzScan() {
        types.SelectAll();
        paths.AddDriver("fuzz");
        paths.AddWholeDriver("fuzz");
    }
    ProgressRecordSink sink{progress};
    SelectionFilter filter{&types, &paths, "fuzz"};
    volume::ReaderContext Context() { return volume::ReaderContext{&sink, &filter}; }
    // Lists what the reading found and reads every accepted file back.
    template <typename List>
    void ListAndRead(List list, size_t candidates) {
        progress.FFoundCount = static_cast<uint32_t>(candidates);
        list(&categories, &results);
        for (TMyFile* f : results)
            ReadBack(*f);
    }
};
