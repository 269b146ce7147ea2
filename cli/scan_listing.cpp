#include "cli/scan_listing.h"

#include <charconv>

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

} // namespace

const char* FileSystemWord(uint8_t fileSystem) {
    return fileSystem == kFileSystemNtfs ? "NTFS" : fileSystem == kFileSystemFat32 ? "FAT32" : "?";
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
    out += "}";
}

const char kCsvHeader[] = "id,drive,name,folder_path,size,state,modified,record_no,category,preview_kind,encrypted\n";

std::string FileCsvRow(size_t id, const TMyFile& f, const char* category) {
    return std::to_string(id) + "," + CsvField(f.Drive ? f.Drive->DriveName : std::string()) + "," +
           CsvField(f.FileName) + "," + CsvField(f.FolderPath) + "," + std::to_string(f.FileSize) + "," +
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
               FileSystemWord(s.disk->FileSystem()) + "\",\"accepted\":" + std::to_string(s.disk->AcceptedCount) + "}";
    }
    // Whether the list may lack files: memory ran short, or the cap on records was reached.
    out += "],\"low_memory\":";
    out += session.LowMemory() ? "true" : "false";
    out += ",\"truncated\":";
    out += session.Truncated() ? "true" : "false";
    out += ",\"files\":[";
    first = true;
    // Written in pieces: a listing of millions of files never sits in memory whole.
    constexpr size_t kPiece = 1 << 20;
    out.reserve(kPiece + 4096);
    // Every row of a source names the same drive: its text is escaped once.
    const TDriverInfo* lastDrive = nullptr;
    std::string driveJson;
    for (size_t id : ids) {
        if (out.size() >= kPiece) {
            std::fwrite(out.data(), 1, out.size(), file);
            out.clear();
        }
        const TMyFile& f = *session.Results()[id];
        out += first ? "\n" : ",\n";
        first = false;
        if (f.Drive != lastDrive) {
            lastDrive = f.Drive;
            driveJson = JsonString(f.Drive->DriveName);
        }
        AppendFileJson(out, id, f, driveJson, CategoryWord(session.Types().CategoryOf(f.Extension)));
    }
    out += "\n]}\n";
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
        table.Add({std::to_string(id), f.FileName, f.FolderPath, volume::SizeText(f.FileSize), GradeText(f),
                   ModifiedText(f), CategoryCaption(session.Types().CategoryOf(f.Extension))});
    }
    std::fputs(table.Render({true, false, false, true, false, false, false}).c_str(), out);
    if (session.Results().empty())
        std::fprintf(out, "%s\n", LangText("M_ScanNoResult", "No deleted files found.").c_str());
    else
        std::fprintf(out, "%zu %s\n", ids.size(), LangText("M_Files", "files").c_str());
}

} // namespace cli
