#pragma once
// Small shared helpers: the text forms of dates and sizes, unique target
// names, the writable-folder probe.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/clock.h"
#include "volume/records.h"

namespace volume {

// Local time as "yyyy-mm-dd hh:nn:ss", or "N/A".
std::string DateText(FileTime time);
// The same text appended to `out`, for long listings.
void AppendDateText(std::string& out, FileTime time);

// "512 B", "1.5 KB", "1.5 MB", "1.5 GB".
std::string SizeText(int64_t size);

// Makes `path` name a file that does not exist yet: name.ext, name(0).ext,
// name(1).ext, ... False when no free name turned up within 5 seconds.
bool UniqueFileName(std::string& path);
// The same numbering, asking `taken` whether a candidate is in use (for a
// name inside a folder held open rather than a path).
bool UniqueFileName(std::string& path, const std::function<bool(const std::string&)>& taken);

// True when a file cannot be created in `folder`.
bool IsReadOnlyFolder(const std::string& folder);

// Calendar fields to a FILETIME, with no change of zone.
bool DateTimeToFileTime(FileTime& out, const platform::CalendarTime& value);

} // namespace volume
