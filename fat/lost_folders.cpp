// Folders no walk reaches. A folder deleted whole frees its chain; the walk
// reads it from its first cluster on while the clusters follow one another,
// but a folder that grew while other files were written has later clusters
// elsewhere, and a folder whose own entry is gone has no way in at all.
// Their clusters are free and still hold directory entries: each run of them
// becomes a folder of its own under "Found by content", read like any other.
#include <algorithm>
#include <unordered_set>

#include "fat/directory_entry.h"
#include "fat/fat_disk.h"
#include "volume/lost_folder.h"
#include "volume/raw_reader.h"

namespace {
namespace entry = fat::layout::entry;
constexpr uint64_t kReadBytes = 1 << 20;  // free clusters are read this much at a time

enum class LostKind : uint8_t { None, FirstCluster, Continuation };

struct LostCluster {
    uint64_t index = 0;
    LostKind kind = LostKind::None;
    bool ends = false;  // holds the folder's end mark
};
} // namespace

// Whether a free cluster holds a folder's entries: "." and ".." and entries
// after them (a folder's first cluster), or entries alone (a later one).
// Every short entry must name a cluster of this volume, or the bytes are
// some file's data that only looks like entries.
static LostKind KindOfLostCluster(std::span<const uint8_t> cluster, const fat::Geometry& geometry,
                                  uint64_t clusterCount) {
    std::span<const uint8_t> entries = cluster;
    LostKind kind = LostKind::Continuation;
    if (cluster.size() >= 2 * entry::kSize && fat::IsDotEntry(cluster.first(entry::kSize)) &&
        fat::IsDotEntry(cluster.subspan(entry::kSize, entry::kSize))) {
        kind = LostKind::FirstCluster;
        entries = cluster.subspan(2 * entry::kSize);
    }
    if (!fat::LooksLikeDirectoryContinuation(entries))
        return LostKind::None;
    bool named = false;
    for (size_t pos = 0; pos + entry::kSize <= entries.size(); pos += entry::kSize) {
        std::span<const uint8_t> e = entries.subspan(pos, entry::kSize);
        if (e[entry::kName] == entry::kEndOfDirectory)
            break;
        if (e[entry::kAttributes] == entry::kAttrLongName)
            continue;
        const uint32_t first = fat::FirstClusterOf(e, geometry);
        if (first == 1 || (first >= 2 && first - 2 >= clusterCount))
            return LostKind::None;
        named = true;
    }
    return named ? kind : LostKind::None;
}

// Whether a long-name piece holds the end of its name: the last piece, which
// comes first, ends the name with a zero unit (unless the name fills it
// exactly); a middle piece is full. A run of pieces that opens with a full one
// may have lost its end to the cluster before.
static bool PieceEndsName(std::span<const uint8_t> piece) {
    namespace ln = fat::layout::long_name;
    for (auto [from, to] : {std::pair{ln::kUnits1, ln::kUnits1End}, std::pair{ln::kUnits2, ln::kUnits2End},
                            std::pair{ln::kUnits3, ln::kUnits3End}})
        for (size_t at = from; at + 2 <= to; at += 2)
            if (piece[at] == 0 && piece[at + 1] == 0)
                return true;
    return false;
}

void TDISK_FAT::FindLostFolders(FileList& files, FolderList& folders, volume::FoundByContent& found) {
    if (BytesPerCluster == 0 || DataEndIndex <= DataStartCluster)
        return;
    const auto isFree = [this](uint64_t index) { return FatEntry(index) == 0 && !folderClusters_.count(index); };
    const uint64_t perRead = std::max<uint64_t>(1, kReadBytes / BytesPerCluster);
    std::vector<LostCluster> lost;
    for (uint64_t index = DataStartCluster; index < DataEndIndex && !IsStopped();) {
        if (!isFree(index)) {
            ++index;
            continue;
        }
        uint64_t end = index + 1;
        while (end < DataEndIndex && end - index < perRead && isFree(end))
            ++end;
        // A run that cannot be read is passed over, and counted as damage:
        // a lost folder there is beyond reach, not absent.
        const uint32_t runBytes = static_cast<uint32_t>((end - index) * BytesPerCluster);
        const auto bytes = volume::ReadBytes(Drive->Source.get(), static_cast<uint64_t>(OffsetOf(index)), runBytes);
        if (!bytes && Damage())
            Damage()->UnreadableBytes.fetch_add(runBytes, std::memory_order_relaxed);
        for (uint64_t k = 0; bytes && k < end - index; ++k) {
            const auto cluster = std::span<const uint8_t>(*bytes).subspan(k * BytesPerCluster, BytesPerCluster);
            if (const LostKind kind = KindOfLostCluster(cluster, geometry_, ClusterCount); kind != LostKind::None)
                lost.push_back({index + k, kind, fat::EndsDirectory(cluster)});
        }
        index = end;
        SetDiskPercent(100.0 * static_cast<double>(index - DataStartCluster) / static_cast<double>(DataClusterCount()));
    }
    if (lost.empty() || IsStopped())
        return;

    // Entries whose file the walk met already are copies (a folder moved by
    // a defragmenter leaves its old clusters behind): only the others count.
    const std::unordered_set<uint32_t> known(knownFirstClusters_.begin(), knownFirstClusters_.end());
    const int32_t foundIndex = found.Folder();
    folderWalk_.resize(folders.size());

    // A run of lost clusters that follow one another is one folder, up to its end mark.
    for (size_t i = 0; i < lost.size() && !IsStopped();) {
        size_t last = i;
        while (!lost[last].ends && last + 1 < lost.size() && lost[last + 1].index == lost[last].index + 1 &&
               lost[last + 1].kind == LostKind::Continuation)
            ++last;
        const uint64_t first = lost[i].index, count = lost[last].index - first + 1;
        const bool continuation = lost[i].kind == LostKind::Continuation;
        i = last + 1;
        auto folder = volume::LostFolder(
            Drive, foundIndex, first - DataStartCluster + 2,
            {TMyFileRun{OffsetOf(first), static_cast<int64_t>(count * BytesPerCluster)}});
        if (FoldersFound >= DataClusterCount() || !ClaimFolderClusters(*folder))
            continue;
        TMyFolder* added = tree_.Append(std::move(folder), kNoParent);
        folderWalk_.resize(folders.size());
        ++FoldersFound;
        auto data = volume::ReadBytes(Drive->Source.get(), static_cast<uint64_t>(added->Runs[0].RunStart),
                                      static_cast<uint32_t>(added->Runs[0].RunLength));
        if (!data)
            continue;
        // A folder's later cluster may open with the rest of a long name
        // whose first pieces lay in the cluster before it, somewhere else:
        // those pieces are passed over, and their file keeps its short name.
        std::vector<platform::ByteRange> cutName;
        size_t pieces = 0;
        if (continuation && data->size() >= entry::kSize && (*data)[entry::kAttributes] == entry::kAttrLongName &&
            !PieceEndsName(std::span<const uint8_t>(*data).first(entry::kSize)))
            while (pieces + entry::kSize <= data->size() && (*data)[pieces + entry::kAttributes] == entry::kAttrLongName)
                pieces += entry::kSize;
        if (pieces)
            cutName.push_back({0, pieces});
        knownBeforeLostSearch_ = &known;
        ParseEntries(*added, *data, files, folders, cutName);
        knownBeforeLostSearch_ = nullptr;
    }
}
