#include <algorithm>

#include "fat/fat_disk.h"
#include "platform/clock.h"
#include "scan/progress.h"
#include "volume/byte_reader.h"
#include "volume/raw_reader.h"
#include "volume/text.h"

using volume::ByteReader;

namespace {
constexpr uint8_t kDeleted = 0xE5;
constexpr uint8_t kAttrLongName = 0x0F;
constexpr uint8_t kAttrDirectory = 0x10;
constexpr uint8_t kAttrArchive = 0x20;
constexpr int64_t kMaxRunBytes = 100 << 20;

uint16_t U16(std::span<const uint8_t> e, size_t off) { return static_cast<uint16_t>(e[off] | (e[off + 1] << 8)); }
uint32_t U32(std::span<const uint8_t> e, size_t off) { return U16(e, off) | (uint32_t{U16(e, off + 2)} << 16); }

uint32_t FirstCluster(std::span<const uint8_t> e) { return (uint32_t{U16(e, 20)} << 16) | U16(e, 26); }

std::optional<platform::CalendarTime> DecodeDate(uint16_t v) {
    platform::CalendarTime t;
    t.day = v & 0x1F;
    t.month = (v >> 5) & 0x0F;
    t.year = 1980 + (v >> 9);
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > kDays[t.month - 1])
        return std::nullopt;
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    if (t.month == 2 && t.day == 29 && !leap)
        return std::nullopt;
    return t;
}

bool DecodeTime(uint16_t v, platform::CalendarTime& t) {
    const int halfSeconds = v & 0x1F, minutes = (v >> 5) & 0x3F, hours = v >> 11;
    if (halfSeconds >= 30 || minutes >= 60 || hours >= 24)
        return false;
    t.second = halfSeconds * 2;
    t.minute = minutes;
    t.hour = hours;
    return true;
}

// The volume holds local time; file times are UTC.
std::optional<FileTime> EntryTime(uint16_t date, std::optional<uint16_t> time) {
    auto t = DecodeDate(date);
    if (!t || (time && !DecodeTime(*time, *t)))
        return std::nullopt;
    return platform::LocalCalendarToFileTime(*t);
}

std::string ReplaceQuestionMarks(std::string name) {
    std::replace(name.begin(), name.end(), '?', '_');
    return name;
}
} // namespace

void TDISK_FAT::Walk(FileList& files, FolderList& folders) {
    auto root = std::make_unique<TMyFolder>();
    root->Drive = Drive;
    root->ParentIndex = kRootParent;
    root->RecordPos = rootOffset_;
    root->ListIndex = static_cast<int32_t>(folders.size());
    TMyFolder* rootFolder = root.get();
    folders.push_back(std::move(root));
    FolderQueue.push_back(rootFolder);
    ++QueuedFolders;

    if (BuildRuns(*rootFolder, BytesPerCluster, IndexOf(RootCluster), true)) {
        rootFolder->FolderName = Drive->DriveName;
        rootFolder->ParentIndex = kRootParent;
        for (uint64_t i = 0; !FolderQueue.empty() && !IsStopped(); ++i) {
            ReadFolder(*FolderQueue.front(), files, folders);
            if (i == 0)
                SetDiskPercent(100.0 / static_cast<double>(FolderQueue.size()));
            FolderQueue.pop_front();
            if (i > 0 && !FolderQueue.empty())
                SetDiskPercent(Percent + (100.0 - Percent) / static_cast<double>(FolderQueue.size()));
        }
    }
    FolderQueue.clear();
    SetDiskPercent(100.0);
}

bool TDISK_FAT::ReadFolder(TMyFolder& folder, FileList& files, FolderList& folders) {
    std::vector<uint8_t> data;
    bool failed = false;
    for (const TMyFileRun& run : folder.Runs) {
        if (IsStopped() || run.RunLength > kMaxRunBytes) {
            failed = true;
            break;
        }
        if (run.RunStart < 0 || run.RunStart > Drive->VolumeBytes || run.RunLength > Drive->VolumeBytes - run.RunStart) {
            failed = true;
            continue;
        }
        auto bytes = volume::ReadBytes(Drive->VolumeHandle.get(), static_cast<uint64_t>(run.RunStart),
                                       static_cast<uint32_t>(run.RunLength));
        if (!bytes) {
            failed = true;
            continue;
        }
        data.insert(data.end(), bytes->begin(), bytes->end());
    }
    // Every folder but the root begins with "."; one that does not was overwritten.
    if (data.size() > 64 && folder.ListIndex != 0 && !IsDotEntry(std::span<const uint8_t>(data).first(32)))
        failed = true;
    if (!failed)
        ParseEntries(folder, data, files, folders);
    return !failed;
}

bool TDISK_FAT::IsDotEntry(std::span<const uint8_t> entry) {
    std::string name;
    for (size_t i = 0; i < 8 && i < entry.size() && entry[i] != ' '; ++i)
        name += static_cast<char>(entry[i]);
    return name == "." || name == "..";
}

void TDISK_FAT::CollectHints(std::span<const uint8_t> data) {
    for (size_t pos = 0; pos + 32 <= data.size(); pos += 32) {
        if (IsStopped())
            return;
        if (data[pos] != kDeleted)
            ClusterHints.push_back({U16(data.subspan(pos, 32), 20), data[pos + 14], data[pos + 15]});
    }
}

bool TDISK_FAT::ParseEntries(TMyFolder& parsed, std::span<uint8_t> data, FileList& files, FolderList& folders) {
    CollectHints(data);
    TUnDeleteProgress* progress = context_.Progress;
    for (size_t pos = 0;; pos += 32) {
        if (IsStopped())
            return false;
        if (pos + 32 > data.size())
            return true;
        const uint8_t state = data[pos];
        if (IsDotEntry(data.subspan(pos, 32)))
            continue;
        if (state == 0x00)
            return true;
        std::string name;
        if (data[pos + 11] == kAttrLongName) {
            name = BuildName(data, pos);
            if (pos + 32 > data.size())
                return true;
            if (data[pos + 11] == kAttrLongName) {
                pos -= 32;  // an orphaned name; the next run of pieces starts a name of its own
                continue;
            }
        }
        std::span<uint8_t> e = data.subspan(pos, 32);
        const uint8_t attr = e[11];
        if (state == kDeleted) {
            if (attr & kAttrDirectory) {
                const uint64_t index = IndexOf(FirstCluster(e));
                auto folder = std::make_unique<TMyFolder>();
                // A deleted folder whose first cluster is taken again holds something else now.
                if (FatEntry(index) == 0 && index < ClusterCount && BuildRuns(*folder, BytesPerCluster, index, false)) {
                    folder->IsDeleted = true;
                    folder->ParentIndex = parsed.ListIndex;
                    RegisterFolder(std::move(folder), name.empty() ? BuildName(data, pos) : name, folders);
                }
            } else if (attr & kAttrArchive) {
                auto file = MakeFile(e, parsed, name.empty() ? BuildName(data, pos) : name);
                RecoverFirstCluster(e, *file);
                RegisterFile(std::move(file), files);
            }
        } else if (attr & kAttrDirectory) {
            const uint64_t index = IndexOf(FirstCluster(e));
            auto folder = std::make_unique<TMyFolder>();
            if (index < ClusterCount && BuildRuns(*folder, BytesPerCluster, index, false)) {
                folder->IsDeleted = parsed.IsDeleted;
                folder->ParentIndex = parsed.ListIndex;
                RegisterFolder(std::move(folder), name.empty() ? BuildName(data, pos) : name, folders);
            }
        } else if ((attr & kAttrArchive) && attr < 0x40 && parsed.IsDeleted) {
            RegisterFile(MakeFile(e, parsed, name.empty() ? BuildName(data, pos) : name), files);
        }
        if ((attr & kAttrArchive) && progress)
            progress->FRecordsRead.Add(1);
    }
}

std::string TDISK_FAT::BuildName(std::span<uint8_t> data, size_t& pos) const {
    std::span<const uint8_t> e = data.subspan(pos, 32);
    if ((e[11] & 0x0F) != 0x0F) {
        // The short form: 8.3 through the ANSI code page, lower-case flags honoured.
        auto part = [&](size_t off, size_t len, bool lower) {
            std::string raw(reinterpret_cast<const char*>(e.data()) + off, len);
            if (off == 0 && static_cast<uint8_t>(raw[0]) == 0x05)
                raw[0] = static_cast<char>(0xE5);  // a live name that really begins with 0xE5
            std::string text = volume::TrimBlanks(volume::Windows1252ToUtf8(raw));
            return lower ? volume::AsciiLower(text) : text;
        };
        std::string name = part(0, 8, e[12] & 0x08);
        if (name != "." && name != ".." && (e[11] & kAttrArchive)) {
            std::string ext = part(8, 3, e[12] & 0x10);
            if (!ext.empty())
                name += "." + ext;
        }
        return ReplaceQuestionMarks(name);
    }
    // The long form: pieces of 13 UTF-16 units, stored last piece first, all
    // carrying the short name's checksum in byte 13.
    const uint8_t checksum = e[13];
    std::vector<std::vector<uint8_t>> pieces;
    while (pos + 32 <= data.size() && data[pos + 11] == 0x0F && data[pos + 13] == checksum && !IsStopped()) {
        std::span<const uint8_t> lfn = data.subspan(pos, 32);
        std::vector<uint8_t> units;
        units.insert(units.end(), lfn.begin() + 1, lfn.begin() + 11);
        units.insert(units.end(), lfn.begin() + 14, lfn.begin() + 26);
        units.insert(units.end(), lfn.begin() + 28, lfn.begin() + 32);
        pieces.push_back(std::move(units));
        pos += 32;
    }
    std::vector<uint8_t> units;
    for (auto it = pieces.rbegin(); it != pieces.rend(); ++it)
        units.insert(units.end(), it->begin(), it->end());
    size_t count = units.size() / 2;
    for (size_t i = 0; i < count; ++i) {
        if (units[2 * i] == 0 && units[2 * i + 1] == 0) {
            count = i;  // the name ends at its terminator; what follows is padding
            break;
        }
    }
    while (count > 0 && units[2 * count - 2] == 0xFF && units[2 * count - 1] == 0xFF)
        --count;
    return ReplaceQuestionMarks(volume::Utf16LeToUtf8(units.data(), count));
}

void TDISK_FAT::FillFromEntry(std::span<const uint8_t> e, TMyFile& file) const {
    if (auto t = EntryTime(U16(e, 16), U16(e, 14)))
        file.CreatedTime = *t;
    if (auto t = EntryTime(U16(e, 18), std::nullopt))
        file.AccessedTime = *t;
    if (auto t = EntryTime(U16(e, 24), U16(e, 22))) {
        file.ModifiedTime = *t;
        file.HasTimes = true;
    }
    file.DataPos = OffsetOf(IndexOf(FirstCluster(e)));
    file.Runs.clear();
    file.Runs.push_back(TMyFileRun{file.DataPos, U32(e, 28), 0, true});
}

std::unique_ptr<TMyFile> TDISK_FAT::MakeFile(std::span<const uint8_t> e, const TMyFolder& parsed, std::string name) {
    auto file = std::make_unique<TMyFile>();
    file->Drive = Drive;
    file->FolderIndex = parsed.ListIndex;
    FillFromEntry(e, *file);
    file->FileName = std::move(name);
    file->FileSize = file->Runs[0].RunLength;
    file->Extension = volume::ExtensionOf(file->FileName);
    return file;
}

void TDISK_FAT::RegisterFolder(std::unique_ptr<TMyFolder> folder, const std::string& name, FolderList& folders) {
    folder->FolderName = folder->DisplayName = name;
    if (folder->RecordPos == rootOffset_)
        return;  // an entry that points back at the root
    // An entry that points back at a folder above it would make the walk endless.
    for (int64_t up = folder->ParentIndex; up >= 0 && static_cast<size_t>(up) < folders.size();) {
        const TMyFolder& ancestor = *folders[static_cast<size_t>(up)];
        if (ancestor.RecordPos == folder->RecordPos)
            return;
        if (ancestor.ParentIndex == up)
            break;
        up = ancestor.ParentIndex;
    }
    if (FoldersFound >= ClusterCount)
        return;
    folder->ListIndex = static_cast<int32_t>(folders.size());
    FolderQueue.push_back(folder.get());
    folders.push_back(std::move(folder));
    ++FoldersFound;
}

void TDISK_FAT::RegisterFile(std::unique_ptr<TMyFile> file, FileList& files) {
    TUnDeleteProgress* progress = context_.Progress;
    if (progress)
        progress->FRecordsRead.Add(1);
    if (file->DataPos == rootOffset_)
        return;
    file->ListIndex = static_cast<int32_t>(files.size());
    files.push_back(std::move(file));
    if (progress)
        progress->FFoundCount.Add(1);
}

bool TDISK_FAT::MatchesSignature(std::string& extension, int64_t offset) {
    // Names end at U+FFFF padding or a NUL; the stored extension is cleaned too.
    if (size_t cut = extension.find("\xEF\xBF\xBF"); cut != std::string::npos)
        extension.resize(cut);
    if (size_t cut = extension.find('\0'); cut != std::string::npos)
        extension.resize(cut);
    static const struct {
        const char* ext;
        std::vector<uint8_t> magic;
    } kSignatures[] = {
        {".jpg", {0xFF, 0xD8, 0xFF}},       {".bmp", {0x42, 0x4D}},
        {".png", {0x89, 0x50, 0x4E, 0x47}}, {".gif", {0x47, 0x49, 0x46, 0x38}},
        {".tif", {0x49, 0x49, 0x2A, 0x00}}, {".docx", {0x50, 0x4B, 0x03, 0x04}},
        {".xlsx", {0x50, 0x4B, 0x03, 0x04}}, {".zip", {0x50, 0x4B, 0x03, 0x04}},
        {".doc", {0xD0, 0xCF, 0x11, 0xE0}}, {".xls", {0xD0, 0xCF, 0x11, 0xE0}},
        {".exe", {0x4D, 0x5A}},
    };
    const std::vector<uint8_t>* magic = nullptr;
    for (const auto& s : kSignatures)
        if (extension == s.ext)
            magic = &s.magic;
    if (!magic)
        return true;
    if (offset < 0 || offset + 512 > Drive->VolumeBytes)
        return true;
    auto bytes = volume::ReadBytes(Drive->VolumeHandle.get(), static_cast<uint64_t>(offset), 512);
    if (!bytes)
        return true;
    return std::equal(magic->begin(), magic->end(), bytes->begin());
}

void TDISK_FAT::RecoverFirstCluster(std::span<uint8_t> entry, TMyFile& file) {
    if (MatchesSignature(file.Extension, file.DataPos))
        return;
    uint16_t h = 0;
    for (auto it = ClusterHints.rbegin(); it != ClusterHints.rend(); ++it) {
        if (it->timeLow == entry[14] && it->timeHigh == entry[15]) {
            h = it->highWord;
            break;
        }
    }
    auto tryHigh = [&](uint32_t high) {
        entry[20] = static_cast<uint8_t>(high);
        entry[21] = static_cast<uint8_t>(high >> 8);
        FillFromEntry(entry, file);
        return MatchesSignature(file.Extension, file.DataPos);
    };
    const int64_t volumeEnd = static_cast<int64_t>(ClusterCount * BytesPerCluster);
    for (uint32_t high = h; high <= 0xFFFF; ++high) {
        const uint64_t cluster = (uint64_t{high} << 16) | U16(entry, 26);
        if (OffsetOf(IndexOf(cluster)) >= volumeEnd)
            break;
        if (IsStopped() || tryHigh(high))
            return;
    }
    if (tryHigh(0))
        return;
    for (uint32_t high = h; high-- > 1;) {
        if (IsStopped() || tryHigh(high))
            return;
    }
    tryHigh(h);
}
