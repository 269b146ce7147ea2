#include "cli/scan_listing.h"

#include <algorithm>
#include <charconv>
#include <future>
#include <system_error>

#include "cli/output.h"
#include "volume/helpers.h"
#include "volume/language.h"
#include "volume/text.h"

namespace cli {

namespace {

std::string ModifiedText(const TMyFile& f) { return f.HasTimes ? volume::DateText(f.ModifiedTime) : "N/A"; }

std::string CategoryCaption(int category) {
    static const char* kKeys[] = {"M_Photo", "M_Video", "M_Music", "M_Doc", "M_Compress", "M_Other"};
    return volume::LangText(kKeys[category >= 0 && category < 6 ? category : 5], CategoryWord(category));
}

void AppendNumber(std::string& out, int64_t value) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, end);
}

// The rows of `ids[from, to)`, each after its separator (the first row of
// the whole listing after a bare line break).
void FormatFileRows(const ScanSession& session, const std::vector<size_t>& ids, size_t from, size_t to,
                    std::string& out) {
    out.clear();
    // Every row of a source names the same drive: its text is escaped once.
    const TDriverInfo* lastDrive = nullptr;
    std::string driveJson;
    for (size_t k = from; k < to; ++k) {
        const TMyFile& f = *session.Results()[ids[k]];
        out += k == 0 ? "\n" : ",\n";
        if (f.Drive != lastDrive) {
            lastDrive = f.Drive;
            driveJson = JsonString(f.Drive->DriveName);
            const Source* source = session.SourceOf(f.Drive);
            driveJson += ",\"partition\":";
            driveJson += source && source->partition ? std::to_string(source->partition) : "null";
        }
        AppendFileJson(out, ids[k], f, driveJson, CategoryWord(session.Types().CategoryOf(f.Extension)));
    }
}

// Formatting the rows is most of the time a large listing takes once the
// scan is done: the second core formats every other block while this thread
// formats and writes the ones between. Written in blocks, a listing of
// millions of files never sits in memory whole.
void WriteFileRows(const ScanSession& session, const std::vector<size_t>& ids, std::FILE* file) {
    constexpr size_t kBlock = 8192;
    std::string mine, theirs;
    mine.reserve(4u << 20);
    for (size_t at = 0; at < ids.size(); at += 2 * kBlock) {
        const size_t middle = std::min(at + kBlock, ids.size()), end = std::min(at + 2 * kBlock, ids.size());
        std::future<void> other;
        if (middle < end) {
            try {
                other = std::async(std::launch::async, FormatFileRows, std::cref(session), std::cref(ids), middle, end,
                                   std::ref(theirs));
            } catch (const std::system_error&) {
                // No second thread to be had: this one formats both halves.
            }
        }
        FormatFileRows(session, ids, at, middle, mine);
        std::fwrite(mine.data(), 1, mine.size(), file);
        if (other.valid())
            other.get();
        else if (middle < end)
            FormatFileRows(session, ids, middle, end, theirs);
        if (middle < end)
            std::fwrite(theirs.data(), 1, theirs.size(), file);
    }
}

} // namespace

const char* OutcomeWord(volume::ReadOutcome outcome) {
    switch (outcome) {
    case volume::ReadOutcome::Read:
        break;
    case volume::ReadOutcome::BootSectorUnreadable:
        return "boot_sector_unreadable";
    case volume::ReadOutcome::BackupBootMissing:
        return "backup_boot_missing";
    case volume::ReadOutcome::MftUnreadable:
        return "mft_unreadable";
    case volume::ReadOutcome::TableUnreadable:
        return "table_unreadable";
    case volume::ReadOutcome::RootFolderUnreadable:
        return "root_folder_unreadable";
    }
    return "read";
}

const char* FileSystemWord(uint8_t fileSystem) {
    switch (fileSystem) {
    case kFileSystemNtfs:
        return "NTFS";
    case kFileSystemFat32:
        return "FAT32";
    case kFileSystemFat16:
        return "FAT16";
    case kFileSystemFat12:
        return "FAT12";
    case kFileSystemExfat:
        return "exFAT";
    case kFileSystemContent:
        return "content";
    default:
        return "?";
    }
}

std::string GradeText(const TMyFile& file) {
    std::string text = StateText(file.State);
    if (file.Encrypted)
        text += " (" + volume::LangText("M_Encrypted", "encrypted") + ")";
    return text;
}

void AppendFileJson(std::string& out, size_t id, const TMyFile& f, const std::string& driveJson, const char* category) {
    out += "{\"id\":";
    AppendNumber(out, static_cast<int64_t>(id));
    out += ",\"drive\":";
    out += driveJson;
    out += ",\"name\":";
    AppendJsonString(out, f.FileName);
    out += ",\"folder_path\":";
    AppendJsonString(out, f.FolderPath);
    out += ",\"size\":";
    AppendNumber(out, f.FileSize);
    out += ",\"state\":\"";
    out += StateWord(f.State);
    out += "\",\"encrypted\":";
    out += f.Encrypted ? "true" : "false";
    out += ",\"modified\":\"";
    if (f.HasTimes)
        volume::AppendDateText(out, f.ModifiedTime);
    else
        out += "N/A";
    out += "\",\"record_no\":";
    AppendNumber(out, f.RecordNo);
    out += ",\"category\":\"";
    out += category;
    out += "\",\"preview_kind\":";
    AppendNumber(out, f.PreviewKind);
    if (f.FoundBy == kFoundByContent) {
        out += ",\"found_by\":\"content\",\"offset\":";
        AppendNumber(out, f.DataPos);
    }
    out += "}";
}

const char kCsvHeader[] = "id,drive,name,folder_path,size,state,modified,record_no,category,preview_kind,encrypted\n";

std::string FileCsvRow(size_t id, const TMyFile& f, const char* category) {
    return std::to_string(id) + "," + CsvField(f.Drive ? f.Drive->DriveName : std::string()) + "," +
           CsvField(f.FileName) + "," + CsvField(volume::SystemPath(f.FolderPath)) + "," + std::to_string(f.FileSize) + "," +
           StateWord(f.State) + "," + ModifiedText(f) + "," + std::to_string(f.RecordNo) + "," + category + "," +
           std::to_string(f.PreviewKind) + "," + (f.Encrypted ? "true" : "false") + "\n";
}

void PrintScanJson(const ScanSession& session, const std::vector<size_t>& ids, std::FILE* file) {
    std::string out = "{\"sources\":[";
    bool first = true;
    for (const Source& s : session.Sources()) {
        out += first ? "" : ",";
        first = false;
        out += "{\"source\":" + JsonString(s.name) + ",\"drive\":" + JsonString(s.disk->DriveName) +
               ",\"caption\":" + JsonString(s.disk->Caption) + ",\"file_system\":\"" +
               FileSystemWord(s.disk->FileSystem()) + "\",\"accepted\":" + std::to_string(s.disk->AcceptedCount) +
               ",\"unreadable_bytes\":" +
               std::to_string(s.disk->Drive->Damage.UnreadableBytes.load(std::memory_order_relaxed)) +
               ",\"read_outcome\":\"" + OutcomeWord(s.disk->Outcome()) + "\",\"partition\":" +
               (s.partition ? std::to_string(s.partition) : "null") + ",\"offset\":" + std::to_string(s.offset) + "}";
    }
    // Whether the list may lack files: memory ran short, or the cap on records was reached.
    out += "],\"low_memory\":";
    out += session.LowMemory() ? "true" : "false";
    out += ",\"truncated\":";
    out += session.Truncated() ? "true" : "false";
    out += ",\"files\":[";
    std::fwrite(out.data(), 1, out.size(), file);
    WriteFileRows(session, ids, file);
    out.assign("\n]}\n");
    std::fwrite(out.data(), 1, out.size(), file);
}

void PrintScanCsv(const ScanSession& session, const std::vector<size_t>& ids, std::FILE* out) {
    std::fputs(kCsvHeader, out);
    for (size_t id : ids) {
        const TMyFile& f = *session.Results()[id];
        std::fputs(FileCsvRow(id, f, CategoryWord(session.Types().CategoryOf(f.Extension))).c_str(), out);
    }
}

void PrintScanTable(const ScanSession& session, const std::vector<size_t>& ids, std::FILE* out) {
    for (const Source& s : session.Sources())
        std::fprintf(out, "%s  %s  %s  %s deleted files\n", volume::PrintableText(s.disk->Caption).c_str(),
                     FileSystemWord(s.disk->FileSystem()), volume::SizeText(s.disk->Drive->TotalBytes).c_str(),
                     std::to_string(s.disk->AcceptedCount).c_str());
    std::fputs("\n", out);
    using volume::LangText;
    Table table({"ID", LangText("M_FileName", "File Name"), LangText("M_Path", "Path"), LangText("M_Size", "Size"),
                 LangText("M_Recoverability", "Recoverability"), LangText("M_ModifyDate", "Date Modified"),
                 LangText("M_filetype", "File Types")});
    for (size_t id : ids) {
        const TMyFile& f = *session.Results()[id];
        table.Add({std::to_string(id), f.FileName, volume::SystemPath(f.FolderPath), volume::SizeText(f.FileSize), GradeText(f),
                   ModifiedText(f), CategoryCaption(session.Types().CategoryOf(f.Extension))});
    }
    std::fputs(table.Render({true, false, false, true, false, false, false}).c_str(), out);
    // A volume that could not be read was not found empty: standard error says so instead.
    const bool unread = std::any_of(session.Sources().begin(), session.Sources().end(),
                                    [](const Source& s) { return s.disk->ReadNothing(); });
    if (session.Results().empty() && !unread)
        std::fprintf(out, "%s\n", LangText("M_ScanNoResult", "No deleted files found.").c_str());
    else if (session.Results().empty())
        std::fprintf(out, "0 %s\n", LangText("M_Files", "files").c_str());
    else
        std::fprintf(out, "%zu %s\n", ids.size(), LangText("M_Files", "files").c_str());
}

} // namespace cli
