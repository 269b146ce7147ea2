#include <algorithm>
#include <future>
#include <system_error>

#include "ntfs/newer_extents.h"
#include "ntfs/ntfs_disk.h"
#include "ntfs/old_records.h"
#include "volume/byte_reader.h"
#include "volume/raw_reader.h"
#include "volume/salvaging_read.h"

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
            // Only the sectors that stay unreadable keep their clusters counted as in use.
            uint8_t* into = Bitmap.data() + at + done;
            const uint64_t from = static_cast<uint64_t>(run.RunStart + done);
            const volume::SalvagedRead read =
                volume::ReadSalvaging(Drive->Source.get(), into, n, from, stop_.Flag(), Damage());
            for (const platform::ByteRange& lost : read.Unreadable)
                std::fill_n(into + (lost.Offset - from), lost.Length, uint8_t{0xFF});
            std::fill_n(into + (n - read.PastEndBytes), read.PastEndBytes, uint8_t{0xFF});
            if (read.Cancelled)
                break;
            loaded += n - read.UnreadableBytes - read.PastEndBytes;
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
    if (!tree_.Holds(folders))
        tree_.Adopt(folders);  // lists this reader did not read itself
    volume::ProgressSink* progress = context_.Progress;
    const volume::FileFilter* filter = context_.Filter;
    // What the reading did ahead counts only for the list it read, whole,
    // and when no stop came that could have cut the bitmap short.
    const bool ahead = prepared_ && prepared_->files == &files && !prepared_->stopped &&
                       prepared_->gradings.size() == recordFiles_ && recordFiles_ <= files.size() &&
                       !stop_.Requested();
    const bool have = ahead ? prepared_->haveBitmap : LoadBitmap();

    newerExtents_.reset();
    // Whether a newer file took a clean file's clusters needs the whole
    // list's index, and nothing of the paths and filters: the second core
    // builds the index and asks it while this thread lists.
    std::vector<uint8_t> overlapped;
    size_t judged = 0;  // files before it were asked
    std::future<void> judging;
    if (ahead && have) {
        auto index = [this, &files] {
            newerExtents_ = std::make_unique<NewerExtents>(std::move(prepared_->extents));
            newerExtentsOf_ = &files;
        };
        overlapped.assign(files.size(), 0);
        try {
            judging = std::async(std::launch::async, [this, &files, &overlapped, &judged, index] {
                index();
                for (; judged < prepared_->gradings.size() && !IsStopped(); ++judged)
                    if (prepared_->gradings[judged].askOverlap)
                        overlapped[judged] = OverlapsNewer(files, *files[judged], judged) ? 1 : 0;
            });
        } catch (const std::system_error&) {
            index();  // no second thread to be had: each file asks as it is listed
        }
    }
    uint32_t count = 0;
    size_t graded = 0;  // files before it had their grade applied
    std::vector<size_t> oldToAsk;  // files of an earlier MFT still to be asked for newer files over them
    for (size_t k = 0; k < files.size(); ++k) {
        TMyFile& f = *files[k];
        if (progress)
            progress->FileListed();
        if (IsStopped())
            break;
        graded = k + 1;
        const bool byContent = f.FoundBy == kFoundByContent;
        const bool byOldRecord = f.FoundBy == kFoundByOldRecord;
        if (byContent)
            ;  // graded by its walk when it was found
        else if (byOldRecord) {
            // Asked once the index of the MFT's files is whole (the second
            // core may be building it now).
            if (GradeOldRecordFile(f, have))
                oldToAsk.push_back(k);
        } else if (judging.valid())
            ApplyGradeAlone(f, prepared_->gradings[k]);
        else if (ahead)
            ApplyGrade(f, prepared_->gradings[k], k, files);
        else
            Grade(f, k, files, have);
        if (f.FileSize <= 0)
            f.FileSize = f.AllocatedSize;
        if (f.FileSize == 0)
            continue;
        if (IsStopped())
            break;
        f.Accepted = false;
        if (filter && !filter->KeepsType(f.Extension))
            continue;
        if (byContent || byOldRecord)
            tree_.PlaceFile(f);  // into a folder under "Found by content", placed when it was found
        else
            tree_.AttachFile(f);
        tree_.BuildPath(f);
        if (filter && !filter->KeepsLocation(f.FolderPath))
            continue;
        tree_.CountUp(f);
        f.Accepted = true;
        f.PreviewKind = filter ? filter->PreviewKindOf(f.Extension) : 0;
        if (results)
            results->push_back(&f);
        if (const int category = filter ? filter->CategoryOf(f.Extension) : -1; categories && category >= 0)
            (*categories)[static_cast<size_t>(category)]->CountExtension(f.Extension);
        ++count;
    }
    if (judging.valid()) {
        judging.get();
        // A stop may have ended the asking before the listing: the files
        // listed since are asked here, never left Excellent unasked.
        for (size_t k = 0; k < std::min(graded, prepared_->gradings.size()); ++k)
            if (prepared_->gradings[k].askOverlap)
                files[k]->State = (k < judged ? overlapped[k] : OverlapsNewer(files, *files[k], k)) ? kStatePoor
                                                                                                  : kStateExcellent;
    }
    // Even after a stop: no file of an earlier MFT is left Excellent unasked.
    for (const size_t k : oldToAsk)
        files[k]->State = OverlapsNewer(files, *files[k], k) ? kStatePoor : kStateExcellent;
    Bitmap.clear();
    Bitmap.shrink_to_fit();
    newerExtents_.reset();
    prepared_.reset();  // a second listing grades from the files as they are then
    AcceptedCount = count;
    return count;
}

void TNTFS_Disk::Grade(TMyFile& f, size_t position, const FileList& files, bool haveBitmap) {
    ApplyGrade(f, GradeAlone(f, haveBitmap), position, files);
}

void TNTFS_Disk::ApplyGradeAlone(TMyFile& f, const ntfs::Grading& grading) {
    f.AllocatedSize = grading.allocated;
    f.ProgressUnits = grading.units;
    f.State = grading.state;
}

void TNTFS_Disk::ApplyGrade(TMyFile& f, const ntfs::Grading& grading, size_t position, const FileList& files) {
    ApplyGradeAlone(f, grading);
    if (grading.askOverlap)
        f.State = OverlapsNewer(files, f, position) ? kStatePoor : kStateExcellent;
}

bool TNTFS_Disk::GradeOldRecordFile(TMyFile& f, bool haveBitmap) {
    const ntfs::Grading grading = GradeAlone(f, haveBitmap);
    ApplyGradeAlone(f, grading);
    // Runs that leave the volume, loop back over themselves or do not hold
    // the file's size are damage: nothing says the bytes there are the file's.
    if (!ntfs::OldRunsPlausible(f, Drive->VolumeBytes, ClusterSize)) {
        f.State = kStatePoor;
        return false;
    }
    return grading.askOverlap;
}

ntfs::Grading TNTFS_Disk::GradeAlone(const TMyFile& f, bool haveBitmap) const {
    const uint32_t unit = context_.Progress ? context_.Progress->UnitSize() : volume::kDefaultUnitSize;
    ntfs::Grading g{f.AllocatedSize, f.ProgressUnits, kStateExcellent, false};
    if (f.Runs.empty() || f.FileName.empty()) {
        g.state = kStatePoor;
        g.allocated = 0;
        return g;
    }
    if (!f.Runs[0].OnVolume) {
        g.allocated = volume::SaturatingAdd(g.allocated, f.Runs[0].RunLength);
        g.units = AddUnits(g.units, 1);
        if (f.Encrypted)
            g.state = kStatePoor;
        return g;
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
        g.allocated = volume::SaturatingAdd(g.allocated, run.RunLength);
        const int64_t s = run.RunStart / ClusterSize, c = run.RunLength / ClusterSize;
        g.units = AddUnits(g.units, StepsOf(run.RunLength, unit));
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
        g.state = kStatePoor;  // nothing, or nothing usable, can be read back
    else if (!haveBitmap)
        g.state = kStateGood;
    else if (clean)
        g.askOverlap = true;
    else
        g.state = (total > 0 && firstInUse * 100 / total >= 40) ? kStateGood : kStatePoor;
    return g;
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
