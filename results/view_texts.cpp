#include "results/view_texts.h"

#include "results/result_view.h"
#include "volume/helpers.h"
#include "volume/language.h"
#include "volume/text.h"

namespace results {

std::string ReplaceIgnoringCase(std::string text, const std::string& placeholder, const std::string& value) {
    if (placeholder.empty())
        return text;
    const std::string wanted = volume::AsciiUpper(placeholder);
    std::string upper = volume::AsciiUpper(text);
    for (size_t at = 0; (at = upper.find(wanted, at)) != std::string::npos;) {
        text.replace(at, placeholder.size(), value);
        upper.replace(at, placeholder.size(), std::string(value.size(), '\0'));
        at += value.size();
    }
    return text;
}

std::string HeaderText(uint32_t foundCount, int64_t totalSize) {
    std::string text = volume::LangText("M_ScanResult", "Deleted files found: %s1 %s2 %s3");
    text = ReplaceIgnoringCase(std::move(text), "%s1", "<a>" + std::to_string(foundCount) + "</a>");
    text = ReplaceIgnoringCase(std::move(text), "%s2", "<a>" + volume::LangText("M_Files", "files") + "</a>");
    return ReplaceIgnoringCase(std::move(text), "%s3", "<a>(" + volume::SizeText(totalSize) + ")</a>");
}

std::string SelectedFilesText(int32_t checkedCount, int64_t checkedSize) {
    std::string text = volume::LangText("M_SelectFileCount", "Select %s1 files %s2");
    text = ReplaceIgnoringCase(std::move(text), "%s1", "<a>" + std::to_string(checkedCount) + "</a>");
    return ReplaceIgnoringCase(std::move(text), "%s2", "<a>(" + volume::SizeText(checkedSize) + ")</a>");
}

std::string PathText(const TMyFile& file) {
    return (file.Drive ? file.Drive->DriveName : std::string()) + "\\" + file.FolderPath;
}

std::string CellText(const TMyFile& file, int column) {
    switch (column) {
    case kColumnName:
        return file.FileName;
    case kColumnPath:
        return PathText(file);
    case kColumnState:
        return StateText(file.State);
    case kColumnSize:
        return volume::SizeText(file.FileSize);
    case kColumnDate:
        return file.HasTimes ? volume::DateText(file.ModifiedTime) : "N/A";
    default:
        return {};
    }
}

} // namespace results
