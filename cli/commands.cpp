#include "cli/commands.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <thread>
#include <unordered_map>

#include "cli/output.h"
#include "cli/progress_bar.h"
#include "cli/scan_session.h"
#include "platform/console.h"
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

const char* FileSystemWord(uint8_t fs) { return fs == kFileSystemNtfs ? "NTFS" : fs == kFileSystemFat32 ? "FAT32" : "?"; }

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

std::string ModifiedText(const TMyFile& f) { return f.HasTimes ? volume::DateText(f.ModifiedTime) : "N/A"; }

// Each command runs one scan, whose records the system takes back whole when
// the program ends: handing hundreds of thousands of them to the heap one by
// one first costs more than printing them. The session stays reachable from
// here, so leak checkers do not count it.
ScanSession& SessionForThisRun(std::atomic<bool>& interrupted) {
    static ScanSession* session = new ScanSession(interrupted);
    return *session;
}

void PrintScanJson(ScanSession& session, const std::vector<size_t>& ids) {
    std::string out = "{\"sources\":[";
    bool first = true;
    for (const Source& s : session.Sources()) {
        out += first ? "" : ",";
        first = false;
        out += "{\"source\":" + JsonString(s.name) + ",\"drive\":" + JsonString(s.disk->DriveName) +
               ",\"caption\":" + JsonString(s.disk->Caption) + ",\"file_system\":\"" +
               FileSystemWord(s.disk->FileSystem()) + "\",\"accepted\":" + std::to_string(s.disk->AcceptedCount) + "}";
    }
    out += "],\"files\":[";
    first = true;
    auto number = [&out](int64_t value) {
        char digits[24];
        auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
        out.append(digits, end);
    };
    // Written in pieces: a listing of millions of files never sits in memory whole.
    constexpr size_t kPiece = 1 << 20;
    out.reserve(kPiece + 4096);
    // Every row of a source names the same drive: its text is escaped once.
    const TDriverInfo* lastDrive = nullptr;
    std::string driveJson;
    for (size_t id : ids) {
        if (out.size() >= kPiece) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
        const TMyFile& f = *session.Results()[id];
        out += first ? "\n" : ",\n";
        first = false;
        out += "{\"id\":";
        number(static_cast<int64_t>(id));
        out += ",\"drive\":";
        if (f.Drive != lastDrive) {
            lastDrive = f.Drive;
            driveJson = JsonString(f.Drive->DriveName);
        }
        out += driveJson;
        out += ",\"name\":";
        AppendJsonString(out, f.FileName);
        out += ",\"folder_path\":";
        AppendJsonString(out, f.FolderPath);
        out += ",\"size\":";
        number(f.FileSize);
        out += ",\"state\":\"";
        out += StateWord(f.State);
        out += "\",\"modified\":\"";
        if (f.HasTimes)
            volume::AppendDateText(out, f.ModifiedTime);
        else
            out += "N/A";
        out += "\",\"record_no\":";
        out += std::to_string(f.RecordNo);
        out += ",\"category\":\"";
        out += CategoryWord(session.Types().CategoryOf(f.Extension));
        out += "\",\"preview_kind\":";
        out += std::to_string(f.PreviewKind);
        out += "}";
    }
    out += "\n]}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void PrintScanCsv(ScanSession& session, const std::vector<size_t>& ids) {
    std::fputs("id,drive,name,folder_path,size,state,modified,record_no,category,preview_kind\n", stdout);
    for (size_t id : ids) {
        const TMyFile& f = *session.Results()[id];
        std::string row = std::to_string(id) + "," + CsvField(f.Drive->DriveName) + "," + CsvField(f.FileName) + "," +
                          CsvField(f.FolderPath) + "," + std::to_string(f.FileSize) + "," + StateWord(f.State) + "," +
                          ModifiedText(f) + "," + std::to_string(f.RecordNo) + "," +
                          CategoryWord(session.Types().CategoryOf(f.Extension)) + "," + std::to_string(f.PreviewKind) +
                          "\n";
        std::fputs(row.c_str(), stdout);
    }
}

std::string CategoryCaption(int category) {
    static const char* kKeys[] = {"M_Photo", "M_Video", "M_Music", "M_Doc", "M_Compress", "M_Other"};
    return volume::LangText(kKeys[category], CategoryWord(category));
}

void PrintScanTable(ScanSession& session, const std::vector<size_t>& ids) {
    for (const Source& s : session.Sources())
        std::printf("%s  %s  %s  %s deleted files\n", Shown(s.disk->Caption).c_str(), FileSystemWord(s.disk->FileSystem()),
                    volume::SizeText(s.disk->Drive->TotalBytes).c_str(), std::to_string(s.disk->AcceptedCount).c_str());
    std::printf("\n");
    using volume::LangText;
    Table table({"ID", LangText("M_FileName", "File Name"), LangText("M_Path", "Path"), LangText("M_Size", "Size"),
                 LangText("M_Recoverability", "Recoverability"), LangText("M_ModifyDate", "Date Modified"), LangText("M_filetype", "File Types")});
    for (size_t id : ids) {
        const TMyFile& f = *session.Results()[id];
        table.Add({std::to_string(id), f.FileName, f.FolderPath, volume::SizeText(f.FileSize), StateText(f.State),
                   ModifiedText(f), CategoryCaption(session.Types().CategoryOf(f.Extension))});
    }
    std::fputs(table.Render({true, false, false, true, false, false, false}).c_str(), stdout);
    if (session.Results().empty())
        std::printf("%s\n", volume::LangText("M_ScanNoResult", "No deleted files found.").c_str());
    else
        std::printf("%zu %s\n", ids.size(), volume::LangText("M_Files", "files").c_str());
}

// The text the large preview window shows for a text file or a Word document.
int ShowText(const TMyFile& file, std::atomic<bool>& interrupted) {
    if (file.PreviewKind != kPreviewText && file.PreviewKind != kPreviewDocx) {
        std::fprintf(stderr, "dunro: %s: %s\n", Shown(file.FileName).c_str(),
                     volume::LangText("M_NoPreview", "No Preview Available").c_str());
        return kExitFailedFiles;
    }
    if (!IsPreviewable(file)) {
        std::fprintf(stderr, "dunro: %s: %s (a document is shown only when graded Excellent)\n", Shown(file.FileName).c_str(),
                     volume::LangText("M_NoPreview", "No Preview Available").c_str());
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
                   std::to_string(d.Drive->FreeBytes) + ",\"removable\":" + (d.Drive->DriveType == 2 ? "true" : "false") +
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
        std::fprintf(stderr, "no NTFS or FAT32 drive found (reading raw devices needs root)\n");
    return kExitOk;
}

int RunScan(const Options& options, std::atomic<bool>& interrupted) {
    ScanSession& session = SessionForThisRun(interrupted);
    if (int rc = session.Open(options.sources))
        return rc;
    const int rc = session.Run(options);
    const auto ids = session.Filtered(options);
    if (options.format == "json")
        PrintScanJson(session, ids);
    else if (options.format == "csv")
        PrintScanCsv(session, ids);
    else
        PrintScanTable(session, ids);
    return rc;
}

int RunRecover(const Options& options, std::atomic<bool>& interrupted) {
    ScanSession& session = SessionForThisRun(interrupted);
    if (int rc = session.Open(options.sources))
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
    unsigned msg = 0;
    bool finished = false;
    while (!finished) {
        if (interrupted && !stopped) {
            worker.Stop();
            stopped = true;
        }
        bar.Show(session.Progress().RecoverPercent(), "recovering");
        worker.WaitUntilDoneFor(50);
        while (session.Sink().Take(msg))
            finished = finished || msg == kMsgRecoveryFinished;
    }
    worker.WaitUntilDone();
    bar.Clear();

    std::unordered_map<const TMyFile*, size_t> idOf;
    for (size_t i = 0; i < all.size(); ++i)
        idOf[all[i]] = i;
    size_t failed = 0;
    for (const auto& o : worker.Outcomes)
        failed += o.Ok ? 0 : 1;
    if (options.format == "json") {
        std::string out = "{\"destination\":" + JsonString(options.destination) +
                          ",\"attempted\":" + std::to_string(worker.Outcomes.size()) +
                          ",\"succeeded\":" + std::to_string(worker.Outcomes.size() - failed) + ",\"files\":[";
        for (size_t i = 0; i < worker.Outcomes.size(); ++i) {
            const auto& o = worker.Outcomes[i];
            out += std::string(i ? ",\n" : "\n") + "{\"id\":" + std::to_string(idOf[o.File]) +
                   ",\"name\":" + JsonString(o.File->FileName) +
                   ",\"target\":" + (o.Ok ? JsonString(o.Target) : "null") + ",\"ok\":" + (o.Ok ? "true" : "false") +
                   ",\"error\":" + (o.Ok ? "null" : JsonString(o.Error)) + "}";
        }
        std::printf("%s\n]}\n", out.c_str());
    } else {
        Table table({"ID", "NAME", "RESULT"});
        for (const auto& o : worker.Outcomes)
            table.Add({std::to_string(idOf[o.File]), o.File->FileName, o.Ok ? o.Target : "failed: " + o.Error});
        std::fputs(table.Render({true, false, false}, 100).c_str(), stdout);
        std::printf("%s: %s\n", Shown(options.destination).c_str(),
                    ReplaceAll(volume::LangText("M_RecoverySuccess", "%s files recovered"), "%s",
                               std::to_string(worker.Outcomes.size() - failed))
                        .c_str());
        if (failed)
            std::printf("%s\n", ReplaceAll(volume::LangText("M_RecoveryFail", "%s files failed to be recovered."), "%s",
                                           std::to_string(failed))
                                    .c_str());
    }
    if (stopped)
        return kExitInterrupted;
    return failed ? kExitFailedFiles : kExitOk;
}

int RunShow(const Options& options, std::atomic<bool>& interrupted) {
    ScanSession& session = SessionForThisRun(interrupted);
    if (int rc = session.Open(options.sources))
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
    auto status = volume::ReadFileData(
        file,
        [](std::span<const uint8_t> bytes, bool) {
            return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
        },
        &interrupted);
    std::fflush(stdout);
    if (status != volume::ReadStatus::Ok) {
        std::fprintf(stderr, "dunro: %s: %s\n", Shown(file.FileName).c_str(), volume::ReadStatusText(status));
        return kExitFailedFiles;
    }
    return kExitOk;
}

} // namespace cli
