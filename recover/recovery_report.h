#pragma once
// The report a recovery leaves in its destination: DFXML, as forensic tools
// read it, and the same per-file fields as CSV for a spreadsheet.
#include <cstdint>
#include <string>
#include <vector>

#include "recover/recovery_outcome.h"

namespace recover {

// A volume files came from.
struct ReportVolume {
    const TDriverInfo* Drive = nullptr;
    // The drive or image file as it was named: for a partition of a disk
    // image, the whole image.
    std::string Path;
    // How `Path` holds the bytes ("raw", "split", "E01", "VHD", "VHDX",
    // "VMDK"); empty when the volume's source does not say.
    std::string Container;
    // Which bytes the image offsets count: "image" (the file or device's
    // own), "joined pieces", or "media" (the disk a container holds, never
    // the container file's bytes).
    std::string OffsetSpace;
    // Where the volume's first byte lies in those bytes.
    uint64_t PartitionOffset = 0;
    std::string FileSystem;
    std::string Label;
};

// The source of `drive` as its bytes say where they lie; a drive whose
// source does not say is named by its drive name, at offset 0.
ReportVolume SourceOfDrive(const TDriverInfo& drive);

struct ReportJob {
    std::string Version;
    std::string CommandLine;
    std::string Destination;
    FileTime Started = 0;
    FileTime Ended = 0;
    std::vector<ReportVolume> Volumes;
    bool Stopped = false;
    std::string FailureText;  // why the job ended early on an error; empty when it did not
};

// One stretch of a file's data as it lies in the source: `Fill` for a
// sparse stretch that lies nowhere, `Resident` for data kept inside a file
// system record (whose sector ends the file system patches on disk).
struct ByteRun {
    uint64_t FileOffset = 0;
    uint64_t ImageOffset = 0;
    uint64_t VolumeOffset = 0;
    uint64_t Length = 0;
    bool Fill = false;
    bool Resident = false;
    bool Compressed = false;  // the stretch holds the data compressed
};

// The file's data runs cut to its size, as image offsets.
std::vector<ByteRun> ByteRunsOf(const TMyFile& file, uint64_t partitionOffset);

// "2024-03-01T12:00:00Z"; empty for 0.
std::string IsoTime(FileTime time);
FileTime FileTimeNow();

std::string ReportXml(const ReportJob& job, const std::vector<RecoveryOutcome>& outcomes);
std::string ReportCsv(const ReportJob& job, const std::vector<RecoveryOutcome>& outcomes);

inline constexpr char kReportName[] = "dunro-report.xml";

} // namespace recover
