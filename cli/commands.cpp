#include "cli/commands.h"

#include <cstdio>
#include <string>
#include <thread>
#include <unordered_map>

#include "cli/output.h"
#include "cli/progress_bar.h"
#include "cli/scan_listing.h"
#include "cli/scan_session.h"
#include "platform/console.h"
#include "platform/drives.h"
#include "preview/preview_worker.h"
#include "scan/scan_selection.h"
#include "recover/destination.h"
#include "recover/recover_worker.h"
#include "scan/scan_worker.h"
#include "volume/file_data.h"
#include "volume/helpers.h"
#include "volume/language.h"
#include "volume/text.h"

namespace cli {

namespace {

// Every occurrence of `from`, ignoring case, as the message texts expect.
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = volume::AsciiUpper(text).find(volume::AsciiUpper(from), at)) != std::string::npos;
         at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

std::string ReadOnlyText(size_t files) {
    const std::string word = files < 2 ? volume::LangText("M_File_B", "File") : volume::LangText("M_Files_B", "Files");
    return ReplaceAll(volume::LangText("M_RecoLocatReadOnly",
                                       "%s cannot be recovered to a read-only removable disk. Please choose another one "
                                       "to continue the recovery."),
                      "%s", word);
}

std::string NoRoomText(const std::string& size, size_t files) {
    const std::string word = files < 2 ? volume::LangText("M_File", "file") : volume::LangText("M_Files", "files");
    std::string text = volume::LangText("M_RecoDiskPoor_",
                                        "The selected drive does not have %d1 free space to store the recovered %d2. "
                                        "Please choose another one to continue the recovery.");
    return ReplaceAll(ReplaceAll(text, "%d1", size), "%d2", word);
}

// Names, paths and labels come from the volume: a hostile one must not reach the terminal raw.
std::string Shown(const std::string& text) { return volume::PrintableText(text); }

std::string ResultText(const RecoveryOutcome& outcome) {
    if (!outcome.Ok)
        return "failed: " + outcome.Error;
    if (outcome.UnreadableBytes == 0)
        return outcome.Target;
    // The note first: a long target is what the column cuts.
    return ReplaceAll(volume::LangText("M_RecoveredDamaged", "recovered, %s bytes unreadable (filled with zeros)"),
                      "%s", std::to_string(outcome.UnreadableBytes)) +
           ": " + outcome.Target;
}

// Each command runs one scan, whose records the system takes back whole when
// the program ends: handing hundreds of thousands of them to the heap one by
// one first costs more than printing them. The session stays reachable from
// here, so leak checkers do not count it.
ScanSession& SessionForThisRun(std::atomic<bool>& interrupted) {
    static ScanSession* session = new ScanSession(interrupted);
    return *session;
}

// The text the large preview window shows for a text file or a Word document.
int ShowText(const TMyFile& file, std::atomic<bool>& interrupted) {
    if (file.PreviewKind != kPreviewText && file.PreviewKind != kPreviewDocx) {
        std::fprintf(stderr, "dunro: %s: %s\n", Shown(file.FileName).c_str(),
                     volume::LangText("M_NoPreview", "No Preview Available").c_str());
        return kExitFailedFiles;
    }
    if (!IsPreviewable(file)) {
        const char* why = file.Encrypted ? volume::ReadStatusText(volume::ReadStatus::Encrypted)
                                         : "a document is shown only when graded Excellent";
        std::fprintf(stderr, "dunro: %s: %s (%s)\n", Shown(file.FileName).c_str(),
                     volume::LangText("M_NoPreview", "No Preview Available").c_str(), why);
        return kExitFailedFiles;
    }
    TPreviewWorker worker(kLargePreview);
    worker.Start(&file);
    while (!worker.State.WorkDone.load(std::memory_order_acquire)) {
        if (interrupted)
            worker.Cancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    worker.WaitUntilDone();
    if (!worker.Failure().empty()) {
        std::fprintf(stderr, "dunro: %s: %s (%s)\n", Shown(file.FileName).c_str(),
                     volume::LangText("M_NoPreview", "No Preview Available").c_str(), Shown(worker.Failure()).c_str());
        return kExitJobFailed;
    }
    if (!worker.Success()) {
        std::fprintf(stderr, "dunro: %s: %s\n", Shown(file.FileName).c_str(),
                     volume::LangText("M_NoPreview", "No Preview Available").c_str());
        return interrupted ? kExitInterrupted : kExitFailedFiles;
    }
    if (worker.Kind() == kPreviewText) {
        // Shown to a person, like the preview window: the text's own control
        // characters are escaped, its line breaks kept.
        std::fputs(volume::PrintableText(worker.Text(), true).c_str(), stdout);
    } else {
        for (const std::string& line : worker.Lines())
            std::printf("%s\n", volume::PrintableText(line, true).c_str());
    }
    return kExitOk;
}

} // namespace

int RunDrives(const Options& options) {
    TUnDeleteProgress progress;
    TScanFileType types;
    TScanPath paths;
    DiskList disks;
    RefreshDrives(disks, ScanContext{&progress, &types, &paths});
    if (options.format == "json") {
        std::string out = "{\"drives\":[";
        for (size_t i = 0; i < disks.size(); ++i) {
            const TMyDisk& d = *disks[i];
            out += (i ? "," : "") + std::string("{\"name\":") + JsonString(d.DriveName) + ",\"caption\":" +
                   JsonString(d.Caption) + ",\"file_system\":\"" + FileSystemWord(d.FileSystem()) +
                   "\",\"size\":" + std::to_string(d.Drive->TotalBytes) + ",\"free\":" +
                   std::to_string(d.Drive->FreeBytes) + ",\"removable\":" + (d.Drive->DriveType == platform::kDriveRemovable ? "true" : "false") +
                   "}";
        }
        std::printf("%s]}\n", out.c_str());
        return kExitOk;
    }
    Table table({"DRIVE", "CAPTION", "FILE SYSTEM", "SIZE"});
    for (const auto& d : disks)
        table.Add({d->DriveName, d->Caption, FileSystemWord(d->FileSystem()), volume::SizeText(d->Drive->TotalBytes)});
    std::fputs(table.Render({false, false, false, true}).c_str(), stdout);
    if (disks.empty())
        std::fprintf(stderr, "no NTFS, FAT or exFAT drive found (reading raw devices needs root)\n");
    return kExitOk;
}

int RunScan(const Options& options, std::atomic<bool>& interrupted) {
    ScanSession& session = SessionForThisRun(interrupted);
    if (options.deep)
        session.SearchByContent(options.contentTypes);
    if (int rc = session.Open(options.sources, options.partitions, options.searchPartitions))
        return rc;
    const int rc = session.Run(options);
    if (rc == kExitJobFailed)
        return rc;
    const auto ids = session.Filtered(options);
    if (options.format == "json")
        PrintScanJson(session, ids, stdout);
    else if (options.format == "csv")
        PrintScanCsv(session, ids, stdout);
    else
        PrintScanTable(session, ids, stdout);
    return rc;
}

int RunRecover(const Options& options, std::atomic<bool>& interrupted) {
    ScanSession& session = SessionForThisRun(interrupted);
    if (options.deep)
        session.SearchByContent(options.contentTypes);
    if (int rc = session.Open(options.sources, options.partitions, options.searchPartitions))
        return rc;
    if (int rc = session.Run(options))
        return rc;
    const auto& all = session.Results();
    std::vector<size_t> chosen = options.ids.empty() ? session.Filtered(options) : std::vector<size_t>();
    for (int64_t id : options.ids) {
        if (id < 0 || static_cast<size_t>(id) >= all.size()) {
            std::fprintf(stderr, "dunro: there is no file %lld in this scan (0 to %zu)\n", static_cast<long long>(id),
                         all.empty() ? 0 : all.size() - 1);
            return kExitUsage;
        }
        chosen.push_back(static_cast<size_t>(id));
    }
    for (TMyFile* f : all)
        f->Checked = false;
    for (size_t id : chosen)
        all[id]->Checked = true;

    TThreadRecover worker(session.Progress(), &session.Sink());
    worker.FilePauseMs = 0;
    worker.PrepareJob(all);
    worker.DescribeVolumes(session.Disks());
    worker.KeepFolders = options.keepFolders;
    worker.WriteReport = options.report;
    worker.ReportFile = options.reportFile;
    worker.CommandLine = options.commandLine;
    switch (CheckDestination(worker, options.destination)) {
    case DestinationVerdict::Missing:
        std::fprintf(stderr, "dunro: %s: %s\n", Shown(options.destination).c_str(),
                     volume::LangText("M_RecoNeedLocat", "The directory does not exist. Please choose a valid directory.")
                         .c_str());
        return kExitUsage;
    case DestinationVerdict::ReadOnly:
        std::fprintf(stderr, "dunro: %s: %s\n", Shown(options.destination).c_str(), ReadOnlyText(worker.Jobs.size()).c_str());
        return kExitUsage;
    case DestinationVerdict::NoRoom:
        std::fprintf(stderr, "dunro: %s: %s\n", Shown(options.destination).c_str(),
                     NoRoomText(worker.FormatJobSize(), worker.Jobs.size()).c_str());
        return kExitUsage;
    case DestinationVerdict::SourceDrive:
        if (!options.allowSameDrive) {
            std::fprintf(stderr,
                         "dunro: %s lies on a drive being recovered from; writing there may overwrite the very "
                         "files being recovered (--allow-same-drive to do it anyway)\n",
                         Shown(options.destination).c_str());
            return kExitUsage;
        }
        break;
    case DestinationVerdict::Ok:
        break;
    }

    ProgressBar bar;
    worker.Start();
    bool stopped = false;
    // The job's end is its thread going idle: that comes whatever the job met,
    // and its end message has been posted by then.
    while (!worker.WaitUntilDoneFor(50)) {
        if (interrupted && !stopped) {
            worker.Stop();
            stopped = true;
        }
        bar.Show(session.Progress().RecoverPercent(), "recovering" + RetryingNote(worker.Damage.RetryingAt.load(std::memory_order_relaxed)));
    }
    bar.Clear();
    const bool jobFailed = session.Progress().FRecoverFailed;
    if (jobFailed)
        std::fprintf(stderr, "dunro: the recovery failed at file %zu of %zu, and the rest were not attempted: %s\n",
                     worker.Outcomes.size(), worker.Jobs.size(), Shown(worker.FailureText).c_str());

    std::unordered_map<const TMyFile*, size_t> idOf;
    for (size_t i = 0; i < all.size(); ++i)
        idOf[all[i]] = i;
    size_t failed = 0, damaged = 0;
    for (const auto& o : worker.Outcomes) {
        failed += o.Ok ? 0 : 1;
        damaged += o.Ok && o.UnreadableBytes > 0 ? 1 : 0;
    }
    if (options.format == "json") {
        std::string out = "{\"destination\":" + JsonString(options.destination) +
                          ",\"attempted\":" + std::to_string(worker.Outcomes.size()) +
                          ",\"succeeded\":" + std::to_string(worker.Outcomes.size() - failed) + ",\"files\":[";
        for (size_t i = 0; i < worker.Outcomes.size(); ++i) {
            const auto& o = worker.Outcomes[i];
            out += std::string(i ? ",\n" : "\n") + "{\"id\":" + std::to_string(idOf[o.File]) +
                   ",\"name\":" + JsonString(o.File->FileName) +
                   ",\"target\":" + (o.Ok ? JsonString(o.Target) : "null") + ",\"ok\":" + (o.Ok ? "true" : "false") +
                   ",\"error\":" + (o.Ok ? "null" : JsonString(o.Error)) +
                   ",\"unreadable_bytes\":" + std::to_string(o.UnreadableBytes) + "}";
        }
        out += "\n],\"report\":" + (worker.ReportPath.empty() ? std::string("null") : JsonString(worker.ReportPath));
        std::printf("%s}\n", out.c_str());
    } else {
        Table table({"ID", "NAME", "RESULT"});
        for (const auto& o : worker.Outcomes)
            table.Add({std::to_string(idOf[o.File]), o.File->FileName, ResultText(o)});
        std::fputs(table.Render({true, false, false}, 100).c_str(), stdout);
        const std::string recovered = std::to_string(worker.Outcomes.size() - failed);
        std::printf("%s: %s\n", Shown(options.destination).c_str(),
                    damaged ? ReplaceAll(ReplaceAll(volume::LangText("M_RecoverySuccessDamaged",
                                                                     "%s files recovered, %d with unreadable parts"),
                                                    "%s", recovered),
                                         "%d", std::to_string(damaged))
                                  .c_str()
                            : ReplaceAll(volume::LangText("M_RecoverySuccess", "%s files recovered"), "%s", recovered)
                                  .c_str());
        if (failed)
            std::printf("%s\n", ReplaceAll(volume::LangText("M_RecoveryFail", "%s files failed to be recovered."), "%s",
                                           std::to_string(failed))
                                    .c_str());
    }
    if (!worker.ReportError.empty())
        std::fprintf(stderr, "dunro: %s\n",
                     ReplaceAll(volume::LangText("M_ReportFailed", "No report was written: %s"), "%s",
                                Shown(worker.ReportError))
                         .c_str());
    else if (!worker.ReportPath.empty() && options.format != "json")
        std::printf("%s\n", ReplaceAll(volume::LangText("M_ReportWritten", "The report is in %s"), "%s",
                                       Shown(worker.ReportPath))
                                .c_str());
    if (jobFailed)
        return kExitJobFailed;
    if (stopped)
        return kExitInterrupted;
    // A copy with zeros in place of unreadable sectors did not come back whole.
    return failed || damaged ? kExitFailedFiles : kExitOk;
}

int RunShow(const Options& options, std::atomic<bool>& interrupted) {
    ScanSession& session = SessionForThisRun(interrupted);
    if (options.deep)
        session.SearchByContent(options.contentTypes);
    if (int rc = session.Open(options.sources, options.partitions, options.searchPartitions))
        return rc;
    Options all;
    if (int rc = session.Run(all))
        return rc;
    const int64_t id = options.ids[0];
    if (static_cast<size_t>(id) >= session.Results().size()) {
        std::fprintf(stderr, "dunro: there is no file %lld in this scan\n", static_cast<long long>(id));
        return kExitUsage;
    }
    const TMyFile& file = *session.Results()[static_cast<size_t>(id)];
    if (options.text)
        return ShowText(file, interrupted);
    uint64_t unreadable = 0;
    auto status = volume::ReadFileData(
        file,
        [](std::span<const uint8_t> bytes, bool) {
            return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
        },
        &interrupted, nullptr, &unreadable);
    std::fflush(stdout);
    if (status != volume::ReadStatus::Ok) {
        std::fprintf(stderr, "dunro: %s: %s\n", Shown(file.FileName).c_str(), volume::ReadStatusText(status));
        return kExitFailedFiles;
    }
    if (unreadable > 0) {
        std::fprintf(stderr, "dunro: %s: %s\n", Shown(file.FileName).c_str(),
                     ReplaceAll(volume::LangText("M_RecoveredDamaged", "recovered, %s bytes unreadable (filled with zeros)"),
                                "%s", std::to_string(unreadable))
                         .c_str());
        return kExitFailedFiles;
    }
    return kExitOk;
}

} // namespace cli
