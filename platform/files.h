#pragma once
// Plain file-system operations on the computer's own files (never on a scanned volume).
#include <cstdint>
#include <string>

namespace platform {

bool FileExists(const std::string& path);  // anything at that path
bool DirectoryExists(const std::string& path);
bool RemoveFile(const std::string& path);

// Creates `path` for reading and writing and closes it again, only when
// nothing is there: a file already at that path is never opened. `exists`
// tells that the name was taken.
bool CreateProbeFile(const std::string& path, bool& exists);

char PathDelimiter();

// Whether two paths name the same place as the system compares them
// (letter case ignored on Windows, exact on POSIX). Nothing is resolved.
bool SamePath(const std::string& a, const std::string& b);

} // namespace platform

#include <memory>
#include <span>

namespace platform {

// A new file written by the recovery: created exclusively inside the
// destination folder (DestinationFolder::CreateNew), never replacing
// anything that exists, even when another program races for the name.
class OutputFile {
public:
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Write(std::span<const uint8_t> bytes, std::string& error);
    // Sets the open file's times (FILETIME values; 0 leaves that time alone).
    // Done after the last write, which would otherwise move them again.
    bool SetTimes(uint64_t created, uint64_t accessed, uint64_t modified);
    // Gives the open file to a user and group (POSIX; Windows has nothing to do).
    bool GiveTo(uint32_t uid, uint32_t gid, std::string& error);
    bool Close(std::string& error);

private:
    friend class DestinationFolder;
    OutputFile() = default;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// The largest file the file system holding `folder` can store.
uint64_t MaxFileSizeIn(const std::string& folder);

// True when `folder` lies on the drive named `drive` (a volume image is never
// the drive of a folder).
bool FolderOnDrive(const std::string& folder, const std::string& drive);

} // namespace platform
