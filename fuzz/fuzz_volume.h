#pragma once
// A volume held in the fuzzer's input, examined like a drive.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "volume/file_data.h"
#include "volume/records.h"

inline std::unique_ptr<TDriverInfo> MemoryDrive(const uint8_t* data, size_t size) {
    auto drive = std::make_unique<TDriverInfo>("fuzz", 0);
    drive->DriveType = 3;
    drive->VolumeHandle = platform::VolumeDevice::FromMemory(data, size);
    drive->Examine();
    return drive;
}

// Reads a found file back the way recovery does, throwing the bytes away.
inline void ReadBack(const TMyFile& file) {
    volume::ReadFileData(file, [](std::span<const uint8_t>, bool) { return true; });
}
