#pragma once
// The files a search by content found, as every reader lists them: under
// "Found by content" (the folder the lost folders share), a folder per
// kind, each file named after its first sector as PhotoRec names them.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "volume/content_find.h"
#include "volume/folder_tree.h"
#include "volume/reader_context.h"
#include "volume/records.h"

namespace volume {

class FoundByContent {
public:
    FoundByContent(TDriverInfo* drive, FolderTree& tree) : drive_(drive), tree_(tree) {}

    // The list index of "Found by content", appended below the root on first need.
    int32_t Folder();
    // The file a find stands for, in its kind's folder.
    std::unique_ptr<TMyFile> MakeFile(const ContentFind& find);

    // "f" and the first sector (of 512 bytes, whatever the drive's), and the extension.
    static std::string NameOf(uint64_t offset, const std::string& extension);

    // How a search over a reader's extents ended.
    enum class Ended : uint8_t { Done, Stopped };
    // Runs `context.SearchByContent` over `extents` of the drive and appends
    // each find to `files`. The bar moves from `percentFrom` to `percentTo`;
    // a stop, low memory or the cap on files requests `stop`. Sectors the
    // drive would not give are counted in its damage. `seen`, when set, gets
    // the bytes the search reads (volume::BytesSeen).
    Ended Search(const ReaderContext& context, std::span<const ByteExtent> extents, FileList& files, StopToken& stop,
                 double percentFrom, double percentTo, const BytesSeen& seen = {});

private:
    int32_t FolderOfKind(const std::string& extension);

    TDriverInfo* drive_;
    FolderTree& tree_;
    int32_t folder_ = -1;
    std::vector<std::pair<std::string, int32_t>> kinds_;
};

} // namespace volume
