#include "cli/scan_session.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "cli/progress_bar.h"
#include "media/container.h"
#include "platform/drives.h"
#include "content/signatures.h"
#include "results/location.h"
#include "results/view_filter.h"
#include "results/view_texts.h"
#include "scan/disk_drives.h"
#include "scan/memory_guard.h"
#include "results/result_order.h"
#include "volume/helpers.h"
#include "volume/language.h"
#include "volume/records.h"
#include "scan/source_check.h"
#include "scan/source_offer.h"
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

std::string UnreadableText(uint64_t bytes) {
    std::string amount = volume::SizeText(static_cast<int64_t>(bytes));
    if (bytes >= 1024)
        amount += " (" + std::to_string(bytes) + " bytes)";
    return results::UnreadableText(amount);
}

std::string RetryingNote(uint64_t at) {
    const std::string text = results::RetryingText(at);
    return text.empty() ? text : "  " + text;
}

std::string SourceProblem(const std::string& source) {
    // A container whose library this build lacks is named, not taken for a damaged volume.
    if (std::string refusal = media::ContainerRefusal(source); !refusal.empty())
        return refusal;
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
        // Neither the first sector nor a backup boot sector could be read.
        return volume::OutcomeText(volume::ReadOutcome::BootSectorUnreadable);
    case SourceVerdict::OtherFileSystem:
        break;
    }
    return "holds neither NTFS, FAT nor exFAT";
}

ScanSession::ScanSession(std::atomic<bool>& interrupted) : interrupted_(interrupted) {
    worker_ = std::make_unique<TThreadScan>(progress_, types_, paths_, &sink_);
}

ScanSession::~ScanSession() = default;

scan::PartitionSearch ScanSession::SearchFor(bool full) {
    scan::PartitionSearch search;
    search.Full = full;
    search.Stop = &interrupted_;
    if (full)
        search.Progress = [this](uint64_t done, uint64_t total) {
            searchBar_.Show(total ? 100.0 * static_cast<double>(done) / static_cast<double>(total) : 0,
                            "searching for partitions");
        };
    return search;
}

void ScanSession::SearchByContent(const std::vector<std::string>& formats) {
    worker_->SearchContent = true;
    worker_->ContentSignatures = content::SignaturesNamed(formats);
}

int ScanSession::Open(const std::vector<std::string>& sources, const std::vector<uint32_t>& partitions,
                      bool fullSearch) {
    for (const std::string& source : sources) {
        // A source whose first sectors hold a partition table is a disk.
        const uint32_t type = platform::DriveTypeOf(source);
        uint64_t unreadablePlaces = 0;
        if (type == platform::kDriveRemovable || type == platform::kDriveFixed) {
            scan::DiskContents disk = scan::ReadDisk(source, type, SearchFor(fullSearch), worker_->SearchContent);
            unreadablePlaces = disk.UnreadablePlaces;
            searchBar_.Clear();
            if (interrupted_)
                return kExitInterrupted;
            if (disk.IsDisk()) {
                if (int rc = OpenDisk(source, disk, partitions))
                    return rc;
                continue;
            }
        }
        if (!partitions.empty()) {
            std::fprintf(stderr, "dunro: %s: --partition: it holds no partition table\n",
                         volume::PrintableText(source).c_str());
            return kExitUsage;
        }
        std::string problem = SourceProblem(source);
        // Nothing found where reads failed is no proof that nothing is there.
        if (!problem.empty() && unreadablePlaces)
            problem += "; " + std::to_string(unreadablePlaces) + " of the places where a volume may start could not be read";
        if (!problem.empty() && worker_->SearchContent && scan::SearchableByContent(ExamineSource(source))) {
            std::fprintf(stderr, "dunro: %s: %s; searching it by content\n", volume::PrintableText(source).c_str(),
                         problem.c_str());
            problem.clear();
        } else if (problem.empty() && worker_->SearchContent) {
            std::fprintf(stderr,
                         "dunro: %s: holds a readable file system; its free space is searched by content "
                         "(and on NTFS for records of an earlier MFT, on FAT and exFAT for lost folders)\n",
                         volume::PrintableText(source).c_str());
        }
        TMyDisk* disk = problem.empty() ? worker_->DiskFor(source) : nullptr;
        if (!disk) {
            std::fprintf(stderr, "dunro: %s: %s\n", volume::PrintableText(source).c_str(),
                         problem.empty() ? "cannot be read as NTFS, FAT or exFAT" : problem.c_str());
            return kExitBadSource;
        }
        sources_.push_back({source, disk});
    }
    return kExitOk;
}

int ScanSession::OpenDisk(const std::string& source, scan::DiskContents& disk,
                          const std::vector<uint32_t>& partitions) {
    const std::string shown = volume::PrintableText(source);
    for (uint32_t wanted : partitions)
        if (std::none_of(disk.Volumes.begin(), disk.Volumes.end(),
                         [wanted](const scan::DiskVolume& v) { return v.Partition.Number == wanted; })) {
            std::fprintf(stderr, "dunro: %s: there is no partition %u on this disk\n", shown.c_str(), wanted);
            return kExitUsage;
        }
    size_t opened = 0;
    for (scan::DiskVolume& volume : disk.Volumes) {
        const uint32_t number = volume.Partition.Number;
        const bool named = std::find(partitions.begin(), partitions.end(), number) != partitions.end();
        if (!partitions.empty() && !named)
            continue;
        auto opening = std::make_unique<TMyDisk>(std::move(volume.Drive), worker_->Context());
        if (!opening->Reader) {
            // Partitions of other file systems are passed over, unless asked for by number.
            if (named) {
                std::fprintf(stderr, "dunro: %s: partition %u holds neither NTFS, FAT nor exFAT\n", shown.c_str(), number);
                return kExitBadSource;
            }
            continue;
        }
        if (volume.Partition.Scheme == media::PartitionScheme::Unpartitioned)
            opening->Caption = scan::PartitionCaption(source, volume);
        worker_->Disks.push_back(std::move(opening));
        sources_.push_back({source, worker_->Disks.back().get(), number, volume.Partition.Start});
        ++opened;
    }
    if (!opened) {
        if (disk.Searched)
            std::fprintf(stderr, "dunro: %s: no partition with NTFS, FAT or exFAT was found\n", shown.c_str());
        else
            std::fprintf(stderr, "dunro: %s: holds a %s partition table, but no partition with NTFS, FAT or exFAT\n",
                         shown.c_str(), media::SchemeName(disk.Table.Table.Scheme));
        return kExitBadSource;
    }
    return kExitOk;
}

const Source* ScanSession::SourceOf(const TDriverInfo* drive) const {
    for (const Source& source : sources_)
        if (source.disk->Drive.get() == drive)
            return &source;
    return nullptr;
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
        std::string phase = progress_.FListPhase ? "listing" : "reading";
        phase += RetryingNote(worker_->RetryingAt());
        bar.Show(percent, phase);
    }
    worker_->WaitUntilIdle();
    bar.Clear();
    for (const std::string& note : EndNotes())
        std::fprintf(stderr, "dunro: %s\n", volume::PrintableText(note).c_str());
    if (progress_.FScanFailed)
        return kExitJobFailed;
    if (stopped)
        return kExitInterrupted;
    // An empty list from a volume that could not be read is no finding.
    for (const Source& source : sources_)
        if (source.disk->ReadNothing())
            return kExitBadSource;
    return kExitOk;
}

std::vector<std::string> ScanSession::EndNotes() const {
    std::vector<std::string> notes;
    if (progress_.FScanFailed)
        notes.push_back("the scan failed: " + worker_->FailureText + "; nothing is listed");
    if (LowMemory())
        notes.push_back("memory ran short; the list holds what was read until then");
    for (const Source& source : sources_) {
        const volume::ReadDamage& damage = source.disk->Drive->Damage;
        const uint64_t lost = damage.UnreadableBytes.load(std::memory_order_relaxed);
        for (const std::string& reason : results::ReadReasons(*source.disk))
            notes.push_back(source.name + ": " + reason);
        if (lost > 0 && !source.disk->ReadNothing())
            notes.push_back(source.name + ": " + UnreadableText(lost));
    }
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
