#pragma once
// Whether a drive or volume image named by the user can be scanned, and if
// not, why: the front ends tell the user in their own words.
#include <string>

enum class SourceVerdict {
    Usable,
    Missing,          // no such file or device
    NotAVolume,       // a folder or something else that is no drive or image
    NeedsRights,      // the system refuses to open it for reading
    CannotOpen,       // it cannot be opened for another reason
    Unreadable,       // its first sector cannot be read
    Fat12,            // FAT12 or FAT16: only NTFS and FAT32 are scanned
    Fat16,
    OtherFileSystem,  // neither NTFS nor FAT32
};

SourceVerdict ExamineSource(const std::string& source);
