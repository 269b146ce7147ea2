#include <algorithm>

#include "ntfs/newer_extents.h"
#include "ntfs/ntfs_disk.h"
#include "scan/progress.h"
#include "volume/byte_reader.h"
#include "scan/scan_selection.h"
#include "volume/raw_reader.h"

namespace {
constexpr size_t kBitmapCap = 100u << 20;
constexpr uint32_t kReadPiece = 10u << 20;

uint16_t AddUnits(uint16_t units, int64_t add) {
    const int64_t sum = int64_t{units} + add;
    return static_cast<uint16_t>(std::min<int64_t>(sum, UINT16_MAX));
}

int64_t StepsOf(int64_t length, uint32_t unit) {
    if (unit == 0)
        return 0;
    return length / unit + (length % unit ? 1 : 0);
}
} // namespace

bool TNTFS_Disk::LoadBitmap() {
    Bitmap.clear();
    if (!BitmapFile)
        return false;
    // Each run's bytes belong at their own place in the bitmap: a run that
    // cannot be read leaves its clusters counted as in use, and the runs
    // after it stay where they are.
    // As many bytes as the clusters the volume really holds need (a boot
    // sector may claim more), and never past the cap.
    const int64_t clusters = std::min(TotalClusters, Drive->VolumeBytes / ClusterSize);
    const size_t needed = static_cast<size_t>(std::min<int64_t>((clusters + 7) / 8, kBitmapCap));
    Bitmap.assign(needed, 0xFF);
    size_t loaded = 0;
    int64_t at = 0;  // the run's place in the bitmap
    for (const TMyFileRun& run : BitmapFile->Runs) {
        if (at >= static_cast<int64_t>(needed))
            break;
        const int64_t wanted = std::min<int64_t>(run.RunLength, static_cast<int64_t>(needed) - at);
        // A run that claims to reach past the volume is damaged: none of it is trusted.
        const bool readable = run.OnVolume && !run.IsHole && run.RunStart >= 0 && run.RunStart <= Drive->VolumeBytes &&
                              run.RunLength <= Drive->VolumeBytes - run.RunStart;
        for (int64_t done = 0; readable && done < wanted;) {
            const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(wanted - done, kReadPiece));
            auto bytes = volume::ReadBytes(Drive->VolumeHandle.get(), static_cast<uint64_t>(run.RunStart + done), n, &StopFlag);
            if (bytes) {
                std::copy(bytes->begin(), bytes->end(), Bitmap.begin() + static_cast<std::ptrdiff_t>(at + done));
                loaded += bytes->size();
            }
            done += n;
        }
        at = volume::SaturatingAdd(at, run.RunLength);
    }
    if (loaded == 0)
        Bitmap.clear();
    return !Bitmap.empty();
}

bool TNTFS_Disk::ClusterInUse(int64_t cluster) const {
    if (Bitmap.empty() || cluster < 0 || static_cast<uint64_t>(cluster) >= Bitmap.size() * 8ull)
        return true;
    return (Bitmap[static_cast<size_t>(cluster / 8)] >> (cluster % 8)) & 1;
}

uint32_t TNTFS_Disk::ListResults(FileList& files, FolderList& folders, CategoryList* categories,
                                 std::vector<TMyFile*>* results) {
    if (folders_ != &folders) {
        // Lists this reader did not read itself: every folder stands for its record as it is now.
        folders_ = &folders;
        folderByRecord_.clear();
        staleFolders_.clear();
        folderIdentity_.clear();
        for (const auto& folder : folders)
            folderByRecord_[folder->RecordNo] = folder->ListIndex;
    }
    TUnDeleteProgress* progress = context_.Progress;
    const TScanFileType* types = context_.Types;
    const TScanPath* paths = context_.Paths;
    const bool have = LoadBitmap();

    newerExtents_.reset();
    uint32_t count = 0;
    for (size_t k = 0; k < files.size(); ++k) {
        TMyFile& f = *files[k];
        if (progress)
            progress->AddListed(1);
        if (IsStopped())
            break;
        Grade(f, k, files, have);
        if (f.FileSize <= 0)
            f.FileSize = f.AllocatedSize;
        if (f.FileSize == 0)
            continue;
        if (IsStopped())
            break;
        f.Accepted = false;
        if (types && !types->FAllOn && !types->IsSelected(f.Extension))
            continue;
        AttachToFolder(f);
        BuildPath(f);
        if (paths && !paths->KeepsFile(Drive->DriveName, f.FolderPath))
            continue;
        CountUp(f);
        f.Accepted = true;
        f.PreviewKind = types ? types->PreviewKindOf(f.Extension) : 0;
        if (results)
            results->push_back(&f);
        if (categories && types)
            (*categories)[static_cast<size_t>(types->CategoryOf(f.Extension))]->CountExtension(f.Extension);
        ++count;
    }
    Bitmap.clear();
    Bitmap.shrink_to_fit();
    newerExtents_.reset();
    AcceptedCount = count;
    return count;
}

void TNTFS_Disk::Grade(TMyFile& f, size_t position, const FileList& files, bool haveBitmap) {
    const uint32_t unit = context_.Progress ? static_cast<uint32_t>(context_.Progress->FUnitSize) : 10u << 20;
    f.State = kStateExcellent;
    if (f.Runs.empty() || f.FileName.empty()) {
        f.State = kStatePoor;
        f.AllocatedSize = 0;
        return;
    }
    if (!f.Runs[0].OnVolume) {
        f.AllocatedSize = volume::SaturatingAdd(f.AllocatedSize, f.Runs[0].RunLength);
        f.ProgressUnits = AddUnits(f.ProgressUnits, 1);
        if (f.Encrypted)
            f.State = kStatePoor;
        return;
    }
    // Clusters the volume cannot give back count as past its end, for a
    // volume image cut short as much as for a run that points outside.
    const int64_t readableClusters = std::min(TotalClusters, Drive->VolumeBytes / ClusterSize);
    bool clean = true, beyond = false;
    int64_t total = 0, firstInUse = 0;
    for (const TMyFileRun& run : f.Runs) {
        if (IsStopped())
            break;
        if (run.IsHole)
            continue;  // a hole occupies no clusters
        f.AllocatedSize = volume::SaturatingAdd(f.AllocatedSize, run.RunLength);
        const int64_t s = run.RunStart / ClusterSize, c = run.RunLength / ClusterSize;
        f.ProgressUnits = AddUnits(f.ProgressUnits, StepsOf(run.RunLength, unit));
        if (clean) {
            if (s + c > readableClusters) {
                clean = false;
                beyond = true;
                total = volume::SaturatingAdd(total, c);
                break;
            }
            if (haveBitmap) {
                for (int64_t j = 0; j < c; ++j) {
                    if (ClusterInUse(s + j)) {
                        clean = false;
                        // Where in the file, not in this run: a taken cluster
                        // late in the file leaves its start intact.
                        firstInUse = total + j;
                        break;
                    }
                }
            }
        }
        total = volume::SaturatingAdd(total, c);
    }
    if (beyond || f.Encrypted || f.CompressionUnit == kUnreadableCompression)
        f.State = kStatePoor;  // nothing, or nothing usable, can be read back
    else if (!haveBitmap)
        f.State = kStateGood;
    else if (clean)
        f.State = OverlapsNewer(files, f, position) ? kStatePoor : kStateExcellent;
    else
        f.State = (total > 0 && firstInUse * 100 / total >= 40) ? kStateGood : kStatePoor;
}

bool TNTFS_Disk::OverlapsNewer(const FileList& files, const TMyFile& f, size_t) const {
    // Every file on the volume is asked, a single extent as much as many:
    // a newer deleted file that took any of its clusters overwrote them,
    // whether its extent matches one of this file's, lies inside one, or
    // crosses an end.
    if (f.Runs.empty() || !f.Runs[0].OnVolume)
        return false;
    // One index for the whole list: the file itself never counts, since it
    // is not newer than itself.
    if (!newerExtents_ || newerExtentsOf_ != &files) {
        newerExtents_ = std::make_unique<NewerExtents>(files, ClusterSize);
        newerExtentsOf_ = &files;
    }
    const FileTime own = NewerExtents::TimeOf(f);
    for (const TMyFileRun& run : f.Runs) {
        if (run.IsHole)
            continue;
        const auto [s, e] = NewerExtents::SpanOf(run, ClusterSize);
        if (own < newerExtents_->NewestWithin(s, e))
            return true;
    }
    return false;
}
