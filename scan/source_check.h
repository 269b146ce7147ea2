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
    Unreadable,       // its first sector cannot be read, or a FAT12/16 boot sector does not decode
    OtherFileSystem,  // neither NTFS, FAT nor exFAT
};

SourceVerdict ExamineSource(const std::string& source);
