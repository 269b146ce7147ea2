#include "cli/scan_session.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "cli/progress_bar.h"
#include "platform/drives.h"
#include "results/location.h"
#include "results/view_filter.h"
#include "scan/memory_guard.h"
#include "scan/result_order.h"
#include "volume/records.h"
#include "volume/source_check.h"
#include "volume/text.h"

namespace cli {

void QueueSink::post(unsigned msg, uintptr_t, intptr_t) {
    std::lock_guard lock(mutex_);
    messages_.push_back(msg);
}

bool QueueSink::Take(unsigned& msg) {
    std::lock_guard lock(mutex_);
    if (messages_.empty())
        return false;
    msg = messages_.front();
    messages_.pop_front();
    return true;
}

const char* CategoryOption(int category) {
    static const char* kOptions[] = {"photos", "videos", "music", "documents", "archives", "others"};
    return category >= 0 && category < 6 ? kOptions[category] : "others";
}

const char* CategoryWord(int category) {
    static const char* kWords[] = {"Photos", "Videos", "Music", "Documents", "Archives", "Others"};
    return category >= 0 && category < 6 ? kWords[category] : "Others";
}

std::string SourceProblem(const std::string& source) {
    switch (ExamineSource(source)) {
    case SourceVerdict::Usable:
        return {};
    case SourceVerdict::Missing:
        return "no such file or device";
    case SourceVerdict::NotAVolume:
        return "not a drive or a volume image file";
    case SourceVerdict::NeedsRights:
    case SourceVerdict::CannotOpen:
        return "cannot be opened for reading (reading a device needs root)";
    case SourceVerdict::Unreadable:
        return "its first sector cannot be read";
    case SourceVerdict::Fat12:
        return "holds FAT12; only NTFS and FAT32 are scanned";
    case SourceVerdict::Fat16:
        return "holds FAT16; only NTFS and FAT32 are scanned";
    case SourceVerdict::OtherFileSystem:
        break;
    }
    return "holds neither NTFS nor FAT32";
}

ScanSession::ScanSession(std::atomic<bool>& interrupted) : interrupted_(interrupted) {
    worker_ = std::make_unique<TThreadScan>(progress_, types_, paths_, &sink_);
}

ScanSession::~ScanSession() = default;

int ScanSession::Open(const std::vector<std::string>& sources) {
    for (const std::string& source : sources) {
        const std::string problem = SourceProblem(source);
        TMyDisk* disk = problem.empty() ? worker_->DiskFor(source) : nullptr;
        if (!disk) {
            std::fprintf(stderr, "dunro: %s: %s\n", volume::PrintableText(source).c_str(),
                         problem.empty() ? "cannot be read as NTFS or FAT32" : problem.c_str());
            return kExitBadSource;
        }
        sources_.push_back({source, disk});
    }
    return kExitOk;
}

void ScanSession::SetSelection(const Options& options) {
    // Every kind is looked for and every drive read whole: --types and
    // --folder pick from the result afterwards, as the window's trees do.
    types_.SelectAll();
    paths_.Clear();
    paths_.FRecycleBin = options.recycleBin;
    const bool onlyRecycleBin = options.recycleBin && options.folders.empty();
    for (const Source& source : sources_) {
        const std::string& drive = source.disk->DriveName;
        if (onlyRecycleBin) {
            paths_.AddRecycleDriver(drive);
            if (!paths_.HasDriver(drive))
                paths_.AddDriver(drive);
        } else {
            paths_.AddDriver(drive);
            paths_.AddWholeDriver(drive);
        }
    }
}

int ScanSession::Run(const Options& options) {
    SetSelection(options);
    ProgressBar bar;
    worker_->StartScan();
    bool stopped = false;
    while (!worker_->WaitUntilIdleFor(50)) {
        if (interrupted_ && !stopped) {
            worker_->StopCurrentDisk();
            worker_->PassIdle = true;
            progress_.FScanCancelled = true;
            stopped = true;
        }
        GuardScanMemory(progress_, *worker_);
        const double percent = progress_.ScanPercent();
        bar.Show(percent, progress_.FListPhase ? "listing" : "reading");
    }
    worker_->WaitUntilIdle();
    bar.Clear();
    for (const std::string& note : EndNotes())
        std::fprintf(stderr, "dunro: %s\n", volume::PrintableText(note).c_str());
    if (progress_.FScanFailed)
        return kExitJobFailed;
    return stopped ? kExitInterrupted : kExitOk;
}

std::vector<std::string> ScanSession::EndNotes() const {
    std::vector<std::string> notes;
    if (progress_.FScanFailed)
        notes.push_back("the scan failed: " + worker_->FailureText + "; nothing is listed");
    if (LowMemory())
        notes.push_back("memory ran short; the list holds what was read until then");
    if (Truncated())
        notes.push_back("the scan stopped at its limit of " + std::to_string(uint32_t{progress_.FMaxFiles}) +
                        " files; the list holds what was read until then, and files beyond it are missing");
    return notes;
}

std::vector<size_t> ScanSession::Filtered(const Options& options) const {
    const auto& all = worker_->AllFiles;
    // The folders' files, collected as the window's folder tree collects a
    // location (with --recycle-bin also the recycle bin's).
    std::unordered_set<const TMyFile*> inFolders;
    if (!options.folders.empty()) {
        for (const Source& source : sources_)
            for (const std::string& folder : options.folders)
                for (const TMyFolder* found : results::FoldersAt(*source.disk, folder))
                    results::CollectLocation(*found, [&inFolders](TMyFile* f) { inFolders.insert(f); });
    }
    const bool byFolder = !options.folders.empty();
    std::vector<int> categories;
    for (const std::string& type : options.types)
        for (int c = kCategoryPictures; c <= kCategoryOthers; ++c)
            if (type == CategoryOption(c))
                categories.push_back(c);
    std::optional<results::ViewFilter> byName, byExt;
    if (options.name)
        byName = results::ViewFilter{*options.name, -1, false};
    if (options.ext)
        byExt = results::ViewFilter{*options.ext, -1, true};

    std::vector<size_t> ids;
    for (size_t id = 0; id < all.size(); ++id) {
        const TMyFile* f = all[id];
        if (byFolder && !inFolders.count(f) && !(options.recycleBin && TScanPath::IsRecyclePath(f->FolderPath)))
            continue;
        if (!categories.empty() && std::none_of(categories.begin(), categories.end(), [&](int c) {
                return results::InCategory(*f, c, types_);
            }))
            continue;
        if (byName && !results::Shows(*f, *byName, types_))
            continue;
        if (byExt && !results::Shows(*f, *byExt, types_))
            continue;
        if (options.minState && f->State < options.minState)
            continue;
        ids.push_back(id);
    }
    if (options.sortKey) {
        // Sorted as the result list sorts, keeping equal keys in list order.
        std::vector<TMyFile*> kept;
        kept.reserve(ids.size());
        for (size_t id : ids)
            kept.push_back(all[id]);
        std::unordered_map<const TMyFile*, size_t> position;
        for (size_t i = 0; i < kept.size(); ++i)
            position[kept[i]] = ids[i];
        SortShownStable(kept, *options.sortKey, !options.descending);
        for (size_t i = 0; i < kept.size(); ++i)
            ids[i] = position[kept[i]];
    }
    return ids;
}

} // namespace cli
