#pragma once
// Where below the destination a recovered file lands: flat, or in its
// volume's folder and the folders it was found in.
#include <string>
#include <vector>

#include "volume/records.h"

namespace recover {

// One folder of a file's place below the destination: its name made safe,
// and the times its record keeps (0: none).
struct TargetFolder {
    std::string Name;
    FileTime ModifiedTime = 0;
    FileTime CreatedTime = 0;
};

// The name of a volume's folder: its caption, with the drive or image path in
// it cut to its last part, made safe.
std::string VolumeFolderName(const std::string& caption, const std::string& driveName);

// The folders a file lands in, outermost first: none for a flat job; with
// `keepFolders` the volume's folder, then each folder of the file's path,
// given the times of the folder record it came from when `folders` holds
// one that matches.
std::vector<TargetFolder> TargetFolders(const TMyFile& file, const std::string& volumeFolder,
                                        const FolderList* folders, bool keepFolders);

} // namespace recover
