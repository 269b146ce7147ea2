// The first cluster of a deleted file is only partly trusted: some systems
// clear its high 16 bits on deletion. When the data at the stored position
// does not start the way the file's type does, other high words are tried.
#include <algorithm>

#include "fat/directory_entry.h"
#include "fat/fat_disk.h"
#include "volume/raw_reader.h"

namespace {

namespace entry = fat::layout::entry;
// What is read of a candidate's first cluster to compare with its type's signature.
constexpr uint32_t kSignatureBytes = 512;

struct Signature {
    const char* extension;
    std::vector<uint8_t> magic;
};

const std::vector<Signature>& Signatures() {
    static const std::vector<Signature> kSignatures = {
        {".jpg", {0xFF, 0xD8, 0xFF}},       {".bmp", {0x42, 0x4D}},
        {".png", {0x89, 0x50, 0x4E, 0x47}}, {".gif", {0x47, 0x49, 0x46, 0x38}},
        {".tif", {0x49, 0x49, 0x2A, 0x00}}, {".docx", {0x50, 0x4B, 0x03, 0x04}},
        {".xlsx", {0x50, 0x4B, 0x03, 0x04}}, {".zip", {0x50, 0x4B, 0x03, 0x04}},
        {".doc", {0xD0, 0xCF, 0x11, 0xE0}}, {".xls", {0xD0, 0xCF, 0x11, 0xE0}},
        {".exe", {0x4D, 0x5A}},
    };
    return kSignatures;
}

const std::vector<uint8_t>* MagicOf(const std::string& extension) {
    for (const Signature& s : Signatures())
        if (extension == s.extension)
            return &s.magic;
    return nullptr;
}

// Names end at U+FFFF padding or a NUL; the stored extension is cleaned too.
void CleanExtension(std::string& extension) {
    if (size_t cut = extension.find("\xEF\xBF\xBF"); cut != std::string::npos)
        extension.resize(cut);
    if (size_t cut = extension.find('\0'); cut != std::string::npos)
        extension.resize(cut);
}

} // namespace

void TDISK_FAT::CollectHints(std::span<const uint8_t> data) {
    for (size_t pos = 0; pos + entry::kSize <= data.size(); pos += entry::kSize) {
        if (IsStopped())
            return;
        if (data[pos + entry::kName] != fat::kDeletedMark) {
            const ClusterHint hint{fat::EntryU16(data.subspan(pos, entry::kSize), entry::kFirstClusterHigh),
                                   data[pos + entry::kCreatedTime], data[pos + entry::kCreatedTime + 1]};
            ClusterHints.push_back(hint);
            latestHint_[static_cast<uint16_t>(hint.timeLow | (hint.timeHigh << 8))] = hint.highWord;
        }
    }
}

uint16_t TDISK_FAT::HintFor(std::span<const uint8_t> entry) const {
    // The high word of the latest entry made in the same two seconds.
    const auto latest = latestHint_.find(fat::EntryU16(entry, fat::layout::entry::kCreatedTime));
    return latest == latestHint_.end() ? 0 : latest->second;
}

bool TDISK_FAT::MatchesSignature(std::string& extension, int64_t offset) {
    CleanExtension(extension);
    const std::vector<uint8_t>* magic = MagicOf(extension);
    if (!magic)
        return true;
    if (offset < 0 || offset + kSignatureBytes > Drive->VolumeBytes)
        return true;
    auto bytes = volume::ReadBytes(Drive->Source.get(), static_cast<uint64_t>(offset), kSignatureBytes);
    if (!bytes)
        return true;
    return std::equal(magic->begin(), magic->end(), bytes->begin());
}

void TDISK_FAT::QueueFirstClusterSearch(std::span<const uint8_t> entry, TMyFile& file) {
    CleanExtension(file.Extension);
    if (!MagicOf(file.Extension))
        return;  // nothing to compare with: the stored position stands
    if (geometry_.FixedRoot())
        return;  // FAT12/16 keep the whole cluster number: no high word was lost
    // The search waits for the end of the walk, when the first cluster of
    // every entry on the volume is known; the hint is the one the entry had
    // when its folder was read.
    PendingSearch search;
    search.file = &file;
    if (entry.size() < search.entry.size())
        return;
    std::copy(entry.begin(), entry.begin() + search.entry.size(), search.entry.begin());
    search.hint = HintFor(entry);
    pendingSearches_.push_back(search);
}

bool TDISK_FAT::MayHoldFileStart(uint32_t clusterNumber) const {
    // A cluster in use, one that starts another entry's data, or one that
    // holds a folder cannot be where this deleted file begins.
    if (clusterNumber < fat::layout::table::kFirstData)
        return false;
    const uint64_t index = IndexOf(clusterNumber);
    if (FatEntry(index) != 0 || folderClusters_.count(index))
        return false;
    return !std::binary_search(knownFirstClusters_.begin(), knownFirstClusters_.end(), clusterNumber);
}

void TDISK_FAT::RunFirstClusterSearches() {
    std::sort(knownFirstClusters_.begin(), knownFirstClusters_.end());
    for (PendingSearch& search : pendingSearches_) {
        if (IsStopped())
            break;
        RecoverFirstCluster(search);
    }
    pendingSearches_.clear();
}

void TDISK_FAT::RecoverFirstCluster(PendingSearch& search) {
    TMyFile& file = *search.file;
    std::span<uint8_t> entry(search.entry);
    const uint32_t stored = fat::FirstClusterOf(entry);
    const uint16_t low = fat::EntryU16(entry, fat::layout::entry::kFirstClusterLow);
    auto setHigh = [&](uint16_t high) {
        entry[fat::layout::entry::kFirstClusterHigh] = static_cast<uint8_t>(high);
        entry[fat::layout::entry::kFirstClusterHigh + 1] = static_cast<uint8_t>(high >> 8);
        fat::FillFromEntry(entry, geometry_, file);
    };
    uint32_t reads = 0;
    auto budgetLeft = [&] { return reads < kSearchReadsPerFile && searchReads_ < kSearchReadsPerScan; };
    auto looksRight = [&] {
        ++reads;
        ++searchReads_;
        return MatchesSignature(file.Extension, file.DataPos);
    };
    if (stored >= fat::layout::table::kFirstData) {
        if (!budgetLeft() || looksRight())
            return;
    }

    enum class Outcome { Found, NotHere, GiveUp };
    auto tryHigh = [&](uint32_t high) {
        const uint32_t cluster = (high << 16) | low;
        if (cluster == stored || !MayHoldFileStart(cluster))
            return Outcome::NotHere;  // no read spent
        if (IsStopped() || !budgetLeft())
            return Outcome::GiveUp;
        setHigh(static_cast<uint16_t>(high));
        return looksRight() ? Outcome::Found : Outcome::NotHere;
    };
    auto searchHighWords = [&] {
        const uint16_t h = search.hint;
        for (uint32_t high = h; high <= 0xFFFF; ++high) {
            if (!InDataArea(IndexOf((uint64_t{high} << 16) | low)))
                break;
            if (Outcome o = tryHigh(high); o != Outcome::NotHere)
                return o;
        }
        if (Outcome o = h ? tryHigh(0) : Outcome::NotHere; o != Outcome::NotHere)
            return o;
        for (uint32_t high = h; high-- > 1;)
            if (Outcome o = tryHigh(high); o != Outcome::NotHere)
                return o;
        return Outcome::NotHere;
    };
    if (searchHighWords() == Outcome::Found)
        return;
    // Nothing fits: the file is placed by its hint, as the search began.
    setHigh(search.hint);
}
