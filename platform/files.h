#pragma once
// Plain file-system operations on the computer's own files (never on a scanned volume).
#include <cstdint>
#include <string>

namespace platform {

bool FileExists(const std::string& path);  // anything at that path
bool DirectoryExists(const std::string& path);
bool RemoveFile(const std::string& path);

// Creates (or truncates) `path` for reading and writing, closes it again.
bool CreateProbeFile(const std::string& path);

char PathDelimiter();

} // namespace platform
