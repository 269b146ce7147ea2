// Folders no walk reaches on exFAT: a folder that grew while other files were
// written has its later clusters elsewhere, found only through its chain,
// which deleting it freed; a folder whose own entry set is gone has no way
// in. Their clusters are free in the bitmap and still hold entry sets whose
// checksums hold: each run of them becomes a folder of its own under
// "Found by content", read like any other.
#include <algorithm>
#include <unordered_set>

#include "exfat/exfat_layout.h"
#include "exfat/exfat_reader.h"
#include "volume/lost_folder.h"
#include "volume/raw_reader.h"

namespace exfat {

namespace entry = layout::entry;
namespace table = layout::table;

namespace {
constexpr uint64_t kReadBytes = 1 << 20;  // free clusters are read this much at a time

// The types a directory holds, in use or deleted (bit 7 clear).
bool IsDirectoryEntryType(uint8_t type) {
    switch (type | entry::kInUse) {
    case entry::kAllocationBitmap:
    case entry::kUpcaseTable:
    case entry::kVolumeLabel:
    case entry::kFile:
    case entry::kVolumeGuid:
    case entry::kTexFatPadding:
    case entry::kStreamExtension:
    case entry::kFileName:
    case entry::kVendorExtension:
    case entry::kVendorAllocation:
        return true;
    default:
        return false;
    }
}

// Whether a free cluster holds a folder's entries: every entry up to the end
// mark is of a type a directory holds, and one set at least is whole, its
// checksum holding, so that no file's data passes for entries by chance.
bool HoldsEntrySets(std::span<const uint8_t> cluster) {
    bool sound = false;
    for (size_t pos = 0; pos + entry::kSize <= cluster.size(); pos += entry::kSize) {
        const uint8_t type = cluster[pos + entry::kType];
        if (type == entry::kEndOfDirectory)
            break;
        if (!IsDirectoryEntryType(type))
            return false;
        if ((type == entry::kFile || type == entry::kDeletedFile) && !sound)
            if (auto set = ParseEntrySet(cluster.subspan(pos)); set && set->checksumMatches)
                sound = true;
    }
    return sound;
}

bool EndsDirectory(std::span<const uint8_t> cluster) {
    for (size_t pos = 0; pos + entry::kSize <= cluster.size(); pos += entry::kSize)
        if (cluster[pos + entry::kType] == entry::kEndOfDirectory)
            return true;
    return false;
}

struct LostCluster {
    uint32_t cluster = 0;
    bool ends = false;  // holds the folder's end mark
};
} // namespace

void ExfatReader::FindLostFolders(FileList& files, volume::FoundByContent& found) {
    if (bitmap_.empty())
        return;  // without the bitmap no cluster is known to be free
    const uint64_t clusterBytes = geometry_.BytesPerCluster();
    const uint32_t perRead = static_cast<uint32_t>(std::max<uint64_t>(1, kReadBytes / clusterBytes));
    const uint32_t end = table::kFirstData + geometry_.clusterCount;
    const auto isFree = [this](uint32_t c) { return !InUse(c) && !folderClusters_.contains(c); };
    std::vector<LostCluster> lost;
    for (uint32_t c = table::kFirstData; c < end && !IsStopped();) {
        if (!isFree(c)) {
            ++c;
            continue;
        }
        uint32_t last = c + 1;
        while (last < end && last - c < perRead && isFree(last))
            ++last;
        const uint32_t runBytes = static_cast<uint32_t>((last - c) * clusterBytes);
        const auto bytes = volume::ReadBytes(drive_->Source.get(), geometry_.OffsetOf(c), runBytes);
        // A run that cannot be read is counted as damage: a lost folder there is beyond reach, not absent.
        if (!bytes)
            drive_->Damage.UnreadableBytes.fetch_add(runBytes, std::memory_order_relaxed);
        for (uint32_t k = 0; bytes && k < last - c; ++k) {
            const auto cluster = std::span<const uint8_t>(*bytes).subspan(k * clusterBytes, clusterBytes);
            if (HoldsEntrySets(cluster))
                lost.push_back({c + k, EndsDirectory(cluster)});
        }
        c = last;
        // The walk filled the first half of the bar; the search by content,
        // when asked for, takes the last quarter.
        if (context_.Progress)
            context_.Progress->SetPercent(50.0 + (context_.SearchByContent ? 25.0 : 50.0) *
                                                     static_cast<double>(c - table::kFirstData) /
                                                     static_cast<double>(geometry_.clusterCount));
    }
    if (lost.empty() || IsStopped())
        return;

    // Sets whose data the walk met already are copies of known ones.
    const std::unordered_set<uint32_t> known(knownFirstClusters_.begin(), knownFirstClusters_.end());
    const int32_t foundIndex = found.Folder();

    // Clusters that follow one another are one folder, up to its end mark.
    for (size_t i = 0; i < lost.size() && !IsStopped();) {
        size_t last = i;
        while (!lost[last].ends && last + 1 < lost.size() && lost[last + 1].cluster == lost[last].cluster + 1)
            ++last;
        const std::vector<ClusterRun> runs = {{lost[i].cluster, static_cast<uint32_t>(last - i + 1)}};
        i = last + 1;
        if (foldersFound_ >= geometry_.clusterCount || !ClaimFolderClusters(runs))
            continue;
        TMyFolder* added =
            tree_.Append(volume::LostFolder(drive_, foundIndex, runs.front().first, ByteRuns(runs, UINT64_MAX)), kNoParent);
        ++foldersFound_;
        knownBeforeLostSearch_ = &known;
        ParseFolder(*added, ReadFolderData(*added), files);
        knownBeforeLostSearch_ = nullptr;
    }
}

} // namespace exfat
