#include "shell/language.h"

#include <algorithm>
#include <filesystem>

#include "shell/ini_file.h"
#include "shell/language_root.h"
#include "shell/text_file.h"
#include "volume/language.h"
#include "volume/text.h"

namespace fs = std::filesystem;

namespace {
std::string WithoutTrailingDelimiter(std::string folder) {
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    return folder;
}
} // namespace

TLanguage::TLanguage(const std::string& prefix) : Prefix(prefix) {
    LanguageFolder = shell::ProgramLanguageRoot() + "Language";
    ScanFolder(LanguageFolder);
}

TLanguage::TLanguage(const std::string& prefix, const std::string& folder) : TLanguage(prefix) {
    ScanFolder(folder);
    LanguageFolder = WithoutTrailingDelimiter(folder);
}

std::string TLanguage::FileOf(const std::string& folder, const std::string& name) const {
    return shell::TextOf(shell::PathOf(folder) / shell::PathOf(name + ".lng"));
}

void TLanguage::ScanFolder(const std::string& folder) {
    const std::string dir = WithoutTrailingDelimiter(folder);
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(shell::PathOf(dir), ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path p = it->path();
        if (volume::EqualsIgnoreCase(shell::TextOf(p.extension()), ".lng") && !it->is_directory(ec))
            found.push_back(shell::TextOf(p.stem()));
    }
    std::sort(found.begin(), found.end());
    for (const std::string& name : found) {
        Names.push_back(name);
        CurrentIndex = static_cast<int>(Names.size() - 1);
        LoadFile(FileOf(dir, name));
        DisplayNames.push_back(Read("Main", "DisplayName", name));
    }
}

bool TLanguage::LoadFile(const std::string& path) {
    auto bytes = shell::ReadWholeFile(path);
    if (!bytes)
        return false;
    LoadBytes(*bytes);
    return true;
}

void TLanguage::LoadBytes(const std::vector<uint8_t>& bytes) {
    sections_ = shell::ParseIni(volume::DecodeText(bytes));
    messages_.clear();
    for (const auto& [name, lines] : sections_) {
        if (!volume::EqualsIgnoreCase(name, Prefix + "_M"))
            continue;
        for (const std::string& line : lines)
            if (auto entry = shell::SplitEntry(line))
                messages_.try_emplace(volume::AsciiUpper(entry->first), entry->second);
    }
}

void TLanguage::LoadLanguage(const std::string& name) {
    std::error_code ec;
    std::string chosen = name;
    const bool listed = std::find(Names.begin(), Names.end(), chosen) != Names.end();
    if (!listed || !fs::exists(shell::PathOf(FileOf(LanguageFolder, chosen)), ec))
        chosen = "English";
    auto it = std::find(Names.begin(), Names.end(), chosen);
    if (it == Names.end() || !fs::exists(shell::PathOf(FileOf(LanguageFolder, chosen)), ec))
        return;  // not even English: every lookup keeps its default
    if (LoadFile(FileOf(LanguageFolder, chosen)))
        CurrentIndex = static_cast<int>(it - Names.begin());
}

std::string TLanguage::Message(const std::string& key, const std::string& defaultText) const {
    auto it = messages_.find(volume::AsciiUpper(key));
    return it == messages_.end() ? defaultText : it->second;
}

std::string TLanguage::Read(const std::string& section, const std::string& key, const std::string& defaultText) const {
    for (const auto& [name, lines] : sections_) {
        if (!volume::EqualsIgnoreCase(name, section))
            continue;
        for (const std::string& line : lines) {
            auto entry = shell::SplitEntry(line);
            if (entry && volume::EqualsIgnoreCase(entry->first, key))
                return entry->second;
        }
        return defaultText;
    }
    return defaultText;
}

std::string TLanguage::CurrentName() const {
    return CurrentIndex >= 0 && static_cast<size_t>(CurrentIndex) < Names.size() ? Names[static_cast<size_t>(CurrentIndex)]
                                                                                 : std::string();
}

TLanUse::TLanUse(const std::string& dataFolder) : TLanUse(shell::ProgramLanguageRoot(), dataFolder) {}

TLanUse::TLanUse(const std::string& languageRoot, const std::string& dataFolder)
    : language_("Undelete", languageRoot + "Toolbox_Language") {
    TSafeIniFile settings;
    settings.Load(dataFolder + "Main.ini");
    language_.LoadLanguage(settings.ReadString("Main", "Language", "English"));
}

std::string TLanUse::Message(const std::string& key, const std::string& defaultText) const {
    return language_.Message(key, defaultText);
}

void TLanUse::Install() const {
    volume::SetTextLookup([this](const std::string& key, const std::string& text) { return Message(key, text); });
}

const std::vector<std::pair<const char*, const char*>>& MessageDefaults() {
    static const std::vector<std::pair<const char*, const char*>> kDefaults = {
        {"M_ProgressNum", "%d %%"},
        {"M_Recover", "Recover"},
        {"M_RecoverExcellent", "Excellent"},
        {"M_RecoverGood", "Good"},
        {"M_RecoverPoor", "Poor"},
        {"M_Preview", "Preview"},
        {"M_Loading", "Loading..."},
        {"M_Scaning40", "Files scanned: %s"},
        {"M_Scaning60", "Analyzing deleted files: %s"},
        {"M_Scanning", "Files scanned: %s"},
        {"M_Analying", "Analyzing deleted files: %s"},
        {"M_File", "file"},
        {"M_Files", "files"},
        {"M_File_B", "File"},
        {"M_Files_B", "Files"},
        {"M_Photo", "Photos"},
        {"M_Music", "Music"},
        {"M_Doc", "Documents"},
        {"M_Video", "Videos"},
        {"M_Compress", "Archives"},
        {"M_Other", "Others"},
        {"M_BrowserDes", "Specify the area you want to scan for deleted files."},
        {"M_SelectFileCount", "Select %s1 files %s2"},
        {"M_ScanTip", "Click scan to find the recoverable files. You can customize the scan location or file types below."},
        {"M_Delete", "Delete"},
        {"M_LocalDisk", "Local Disk"},
        {"M_RemoveDisk", "Removable"},
        {"M_Partition", "Partition"},
        {"M_Unpartitioned", "Unpartitioned space"},
        {"M_BootUnreadable", "The boot sector and its backup could not be read."},
        {"M_BackupBootMissing",
         "The boot sector is damaged and the backup boot sector is missing (the image may be cut short)."},
        {"M_MftUnreadable", "The master file table could not be read."},
        {"M_FatUnreadable", "The file allocation table could not be read."},
        {"M_RootUnreadable", "The root folder could not be read."},
        {"M_BootBackupUsed", "The boot sector could not be read; its backup was used."},
        {"M_ScanNeedType", "You must select at least one file type to continue."},
        {"M_ScanNeedLocat", "You must select at least one item to continue."},
        {"M_ScanNoResult", "No deleted files found."},
        {"M_RecoNeedFile", "Please select at least one file to continue the recovery."},
        {"M_RecoNeedLocat", "The directory does not exist. Please choose a valid directory."},
        {"M_RecoDiskPoor_", "The selected drive does not have %d1 free space to store the recovered %d2. Please choose another one to continue the recovery."},
        {"M_RecoLocatReadOnly", "%s cannot be recovered to a read-only removable disk. Please choose another one to continue the recovery."},
        {"M_AskOriginalDisk", "Are you sure to recover the files to the original drive? (It may overwrite the original data and reduce the chance of a successful recovery.)"},
        {"M_AskRecoStop", "%d files may not be recovered. Are you sure you want to stop the recovery?"},
        {"M_AskExitInScaning", "Scanning is in progress. Are you sure you want to exit the program?"},
        {"M_CloseApp", "Current scan results won't be saved if you leave now? Continue?"},
        {"M_YES", "Yes"},
        {"M_Cancel", "Cancel"},
        {"M_OK", "OK"},
        {"M_Close", "Close"},
        {"M_Mini", "Minimize"},
        {"M_BACK", "Back"},
        {"M_Option", "Options"},
        {"M_FolderBrowseReco", "Select a directory to save the recovered files."},
        {"M_Initializing", "Initializing"},
        {"M_Scan", "Scan"},
        {"M_Stop", "STOP"},
        {"M_DlgStop", "STOP"},
        {"M_NewRecoverying", "Recovering the selected <a>%d</a> %s"},
        {"M_RecoverySuccess", "%s files recovered"},
        {"M_RecoveryFail", "%s files failed to be recovered."},
        {"M_RecoverySuccessDamaged", "%s files recovered, %d with unreadable parts"},
        {"M_RecoveredDamaged", "recovered, %s bytes unreadable (filled with zeros)"},
        {"M_Retrying", "Retrying sector %s"},
        {"M_Unreadable", "%s of the drive could not be read; files there may be missing"},
        {"M_RecoveryOverSuccess", "Click OK to open the recovery directory."},
        {"M_RecoveryOverFail", "Please choose another drive to try again."},
        {"M_NoPreview", "No Preview Available"},
        {"M_ALLDisk", "All Locations"},
        {"M_ALLType", "All Types"},
        {"M_ScanResult", "Deleted files found: %s1 %s2 %s3"},
        {"M_SearchFile", "Search files"},
        {"M_filetype", "File Types"},
        {"M_filelocaltion", "File Location"},
        {"M_FileName", "File Name"},
        {"M_Path", "Path"},
        {"M_Size", "Size"},
        {"M_ModifyDate", "Date Modified"},
        {"M_Recoverability", "Recoverability"},
        {"M_MenuSettings", "Settings…"},
        {"M_MenuAbout", "About"},
        {"M_AboutVersion", "Version %s"},
        {"M_AboutText", "Finds deleted files on NTFS, FAT and exFAT drives and copies them to a folder you choose. It only reads the drives it scans and <a>never writes to them</a>."},
        {"M_Encrypted", "encrypted"},
        {"M_ScanLocation", "Scan Location"},
        {"M_AddFolder", "Add Folder"},
        {"M_AddImage", "Add Disk Image…"},
        {"M_ImageDialog", "Choose a disk image to scan"},
        {"M_Desktop", "Desktop"},
        {"M_RecycleBin", "Recycle Bin"},
        {"M_ScanProgress", "Scan progress"},
        {"M_DriveRefused", "The system does not let this program read this drive."},
        {"M_NeedAdmin", "Reading raw drives needs administrator rights."},
        {"M_FolderUnscannable", "This folder lies on a file system of type %s. Only NTFS, FAT and exFAT volumes can be scanned."},
        {"M_FolderDriveNotOpened", "The drive this folder lies on could not be opened for scanning."},
        {"M_ImageNoVolume", "%s holds no NTFS, FAT or exFAT volume, so it cannot be scanned."},
        {"M_ImageUnreadable", "%s cannot be read. Check that the file exists and that you may read it."},
        {"M_FileList", "Found files"},
        {"M_CheckAllFiles", "Check all files"},
        {"M_ClearSearch", "Clear the search"},
        {"M_RecoverProgress", "Recovery progress"},
        {"M_RecoveryError", "The recovery ended on an error: %s."},
        {"M_ErrorNoMemory", "memory ran out"},
        {"M_ErrorTooLarge", "a size too large for memory was asked for"},
        {"M_ErrorUnknown", "an unknown error"},
        {"M_FoundByContent", "Found by content"},
        {"M_LostFolder", "Lost folder"},
        {"M_ReportWritten", "The report is in %s"},
        {"M_ReportFailed", "No report was written: %s"},
        {"M_KeepFolders", "Keep folder structure"},
        {"M_AskSearchImage", "%s holds no NTFS, FAT or exFAT volume where volumes usually start. Search the whole image for lost volumes? It is read from end to end."},
        {"M_SearchWholeImage", "Search the whole image"},
        {"M_ImageSearching", "Searching %s for lost volumes…"},
        {"M_ImageSearched", "%s1 of %s2 searched"},
        {"M_ImageSearchStopping", "Stopping the search…"},
        {"M_ImageSearchProgress", "Search progress"},
        {"M_ImageNothingFound", "No volume was found on %s."},
        {"M_ImageSearchFailed", "The search of %s ended on an error: %r"},
        {"M_ImageSearchUnread", "No volume was found on %s, but %n of the places where one may start could not be read."},
        {"M_RestartAdmin", "Restart as Administrator"},
        {"M_AskRestartAdmin", "Reading raw drives needs administrator rights. Start the program again as administrator? Windows will ask you to allow it."},
        {"M_DeepScan", "Deep scan: also search free space by file content, slower"},
        {"M_DeepScanTip", "Files whose entries the file system no longer holds are recognised by their content. Files found that way have no names of their own."},
        {"M_DeepScanning", "%s1 searched, %s2 files found"},
        {"M_DeepScanImage", "Deep scan"},
        {"M_ReadByContent", "Searched by content"},
        {"M_ImageNoReadableVolume", "No NTFS, FAT or exFAT volume on %s can be read."},
        {"M_AskDeepScanImage", "Search the whole image by file content? Files found that way have no names or folders of their own."},
    };
    return kDefaults;
}
