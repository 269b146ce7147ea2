#include "cli/scan_session.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <unordered_map>

#include "cli/progress_bar.h"
#include "platform/drives.h"
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
    auto has = [&](const char* t) {
        return options.types.empty() || std::find(options.types.begin(), options.types.end(), t) != options.types.end();
    };
    types_.FPicturesOn = has("photos");
    types_.FAudioOn = has("music");
    types_.FVideosOn = has("videos");
    types_.FDocumentsOn = has("documents");
    types_.FArchivesOn = has("archives");
    types_.FOthersOn = has("others");
    types_.UpdateAllOn();

    paths_.Clear();
    paths_.FRecycleBin = options.recycleBin;
    for (const Source& source : sources_) {
        const std::string& drive = source.disk->DriveName;
        for (std::string folder : options.folders) {
            std::replace(folder.begin(), folder.end(), '/', '\\');
            while (!folder.empty() && folder.front() == '\\')
                folder.erase(folder.begin());
            while (!folder.empty() && folder.back() == '\\')
                folder.pop_back();
            // The separator after the folder keeps "Ann" from also choosing "Anna".
            paths_.AddLocation(folder.empty() ? drive + "\\" : drive + "\\" + folder + "\\");
        }
        if (options.recycleBin) {
            paths_.AddRecycleDriver(drive);
            if (!paths_.HasDriver(drive))
                paths_.AddDriver(drive);
        }
        if (options.folders.empty() && !options.recycleBin) {
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
    std::vector<size_t> ids;
    for (size_t id = 0; id < all.size(); ++id) {
        const TMyFile* f = all[id];
        if (options.name && !volume::ContainsIgnoreCase(f->FileName, *options.name))
            continue;
        if (options.ext && !volume::EqualsIgnoreCase(f->Extension, *options.ext))
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
