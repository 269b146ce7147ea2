#pragma once
// The texts of the result view, as the window shows them: the header line,
// the selected-files line and each cell of the list. Runs between "<a>" and
// "</a>" are the ones the window draws bold in the accent colour.
#include <cstdint>
#include <string>
#include <vector>

#include "scan/disk.h"
#include "volume/records.h"
#include "volume/text.h"

namespace results {

// Replaces every occurrence of `placeholder`, ignoring case.
std::string ReplaceIgnoringCase(std::string text, const std::string& placeholder, const std::string& value);

// "Deleted files found: <a>N</a> <a>files</a> <a>(size)</a>".
std::string HeaderText(uint32_t foundCount, int64_t totalSize);

// "Select <a>N</a> files <a>(size)</a>".
std::string SelectedFilesText(int32_t checkedCount, int64_t checkedSize);

// "<amount> of the drive could not be read; files there may be missing".
std::string UnreadableText(const std::string& amount);

// Why the last scan of a drive may lack files, one sentence each: the
// structure its reader could not read, the boot sector taken from its
// backup. For a drive that could list nothing (ReadNothing) only the reason.
std::vector<std::string> ReadReasons(const TMyDisk& disk);

// What the last scan of the chosen drives could not read, in one line for
// the user; empty when it read everything it tried.
std::string ScanDamageText(const DiskList& disks);

// "Retrying sector N" while a read tries the sector at byte `retryingAt`
// again; empty for volume::ReadDamage::kNotRetrying.
std::string RetryingText(uint64_t retryingAt);

// The drive name and the folder path, joined and separated by `separator`
// (the running system's own, unless a test asks for the other).
std::string PathText(const TMyFile& file, char separator = volume::kSystemSeparator);

// The text of a list cell; the preview and margin columns have none.
std::string CellText(const TMyFile& file, int column);

} // namespace results
