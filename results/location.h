#pragma once
// The files of a location: a folder of the rebuilt tree and everything below
// it. The window's folder tree and the command line's --folder collect alike.
#include <functional>
#include <string_view>
#include <vector>

#include "scan/disk.h"
#include "volume/records.h"

namespace results {

// The NTFS root directory's record: the one folder that is its own parent.
constexpr int64_t kNtfsRootRecord = 5;

// Whether `child`, found among `parent`'s sub-folders, is `parent` itself or
// the NTFS root, which must never show as a folder of its own.
bool IsOwnParent(const TMyFolder& parent, const TMyFolder& child);

// The drive's root folder (the first of its folder list); null when it has none.
const TMyFolder* RootFolderOf(const TMyDisk& disk);

// Calls `take` for each file in `start` and in every folder below it, breadth
// first, a folder's files in their order. Only files the scan kept count: a
// folder also holds the files its location choice dropped. Each folder is
// visited once, so a damaged volume whose tree loops ends too. `stopped` is
// asked before each folder; true ends the walk.
void CollectLocation(const TMyFolder& start, const std::function<void(TMyFile*)>& take,
                     const std::function<bool()>& stopped = {});

// The folders of `disk` at `path` ("Users/Ann" or "Users\Ann", names
// compared without regard to ASCII case); the root for an empty path. A
// name met twice on one level (a deleted folder and a new one) gives both.
std::vector<const TMyFolder*> FoldersAt(const TMyDisk& disk, std::string_view path);

} // namespace results
