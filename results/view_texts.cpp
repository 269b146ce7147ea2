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

std::string UnreadableText(const std::string& amount) {
    return ReplaceIgnoringCase(
        volume::LangText("M_Unreadable", "%s of the drive could not be read; files there may be missing"), "%s",
        amount);
}

std::string RetryingText(uint64_t retryingAt) {
    if (retryingAt == volume::ReadDamage::kNotRetrying)
        return {};
    return ReplaceIgnoringCase(volume::LangText("M_Retrying", "Retrying sector %s"), "%s",
                               std::to_string(retryingAt / volume::kSectorPiece));
}

std::vector<std::string> ReadReasons(const TMyDisk& disk) {
    const volume::ReadOutcome outcome = disk.Outcome();
    if (disk.ReadNothing())
        return {volume::OutcomeText(outcome)};
    std::vector<std::string> reasons;
    // A backup that did not decode either is the outcome's to tell.
    const bool bootLost =
        outcome == volume::ReadOutcome::BootSectorUnreadable || outcome == volume::ReadOutcome::BackupBootMissing;
    if (disk.Drive->BootSectorIsBackup && !bootLost)
        reasons.push_back(
            volume::LangText("M_BootBackupUsed", "The boot sector could not be read; its backup was used."));
    if (outcome != volume::ReadOutcome::Read)
        reasons.push_back(volume::OutcomeText(outcome));
    return reasons;
}

std::string ScanDamageText(const DiskList& disks) {
    uint64_t lost = 0;
    size_t chosen = 0;
    for (const auto& disk : disks)
        chosen += disk->Selected ? 1 : 0;
    std::string text;
    auto add = [&text](const std::string& sentence) { text += (text.empty() ? "" : " ") + sentence; };
    for (const auto& disk : disks) {
        if (!disk->Selected)
            continue;
        // A drive that listed nothing has its reason; its bytes would add nothing.
        if (!disk->ReadNothing())
            lost += disk->Drive->Damage.UnreadableBytes.load(std::memory_order_relaxed);
        // With several drives chosen, each reason names its drive.
        const std::string prefix = chosen > 1 ? disk->Caption + ": " : std::string();
        for (const std::string& reason : ReadReasons(*disk))
            add(prefix + reason);
    }
    if (lost)
        add(UnreadableText(volume::SizeText(static_cast<int64_t>(lost))));
    return text;
}

std::string PathText(const TMyFile& file, char separator) {
    return (file.Drive ? file.Drive->DriveName : std::string()) + separator + volume::WithSeparator(file.FolderPath, separator);
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
