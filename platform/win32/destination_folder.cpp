#include "platform/destination_folder.h"

#include <vector>

#include "platform/win32/error_text.h"
#include "platform/win32/file_times.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

// Where the held folder really is, links and junctions resolved; empty when
// the system cannot say.
std::string FinalPathOf(HANDLE folder) {
    const DWORD needed = GetFinalPathNameByHandleW(folder, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (needed == 0)
        return {};
    std::vector<wchar_t> buffer(needed + 1);
    const DWORD length =
        GetFinalPathNameByHandleW(folder, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= buffer.size())
        return {};
    return Narrow(std::wstring(buffer.data(), length));
}

} // namespace

std::unique_ptr<DestinationFolder> DestinationFolder::Open(const std::string& path, std::string& error) {
    // Without delete sharing the folder can be neither removed nor renamed,
    // nor can a folder above it, while the job holds it.
    HANDLE h = CreateFileW(Widen(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = ErrorText(GetLastError());
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "not a folder";
        CloseHandle(h);
        return nullptr;
    }
    std::unique_ptr<DestinationFolder> folder(new DestinationFolder());
    folder->path_ = path;
    folder->handle_ = h;
    folder->openedPath_ = FinalPathOf(h);
    if (folder->openedPath_.empty())
        folder->openedPath_ = path;
    if (folder->openedPath_.back() != '\\')
        folder->openedPath_ += '\\';
    return folder;
}

DestinationFolder::~DestinationFolder() {
    if (handle_)
        CloseHandle(static_cast<HANDLE>(handle_));
}

bool DestinationFolder::Has(const std::string& name) const {
    return GetFileAttributesW(Widen(openedPath_ + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::unique_ptr<OutputFile> DestinationFolder::CreateNew(const std::string& name, std::string& error, bool& exists) {
    exists = false;
    HANDLE h = CreateFileW(Widen(openedPath_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        error = ErrorText(code);
        return nullptr;
    }
    std::unique_ptr<OutputFile> file(new OutputFile());
    file->handle_ = h;
    return file;
}

DestinationFolder::RenameResult DestinationFolder::RenameNoReplace(const std::string& from, const std::string& to,
                                                                   std::string& error) {
    // Without MOVEFILE_REPLACE_EXISTING a taken name fails the move.
    if (MoveFileExW(Widen(openedPath_ + from).c_str(), Widen(openedPath_ + to).c_str(), 0))
        return RenameResult::Done;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
        return RenameResult::NameTaken;
    error = ErrorText(code);
    return RenameResult::Failed;
}

bool DestinationFolder::Remove(const std::string& name) { return DeleteFileW(Widen(openedPath_ + name).c_str()) != 0; }

std::unique_ptr<DestinationFolder> DestinationFolder::OpenSubfolder(const std::string& name, bool create,
                                                                    std::string& error, bool& made, bool& notFolder) {
    made = false;
    notFolder = false;
    const std::wstring path = Widen(openedPath_ + name);
    if (create) {
        if (CreateDirectoryW(path.c_str(), nullptr))
            made = true;
        else if (const DWORD code = GetLastError(); code != ERROR_ALREADY_EXISTS) {
            error = ErrorText(code);
            return nullptr;
        }
    }
    // FILE_FLAG_OPEN_REPARSE_POINT opens a junction or link itself, which is
    // then refused: nothing planted under the name is followed.
    HANDLE h = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = ErrorText(GetLastError());
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(h);
        notFolder = true;
        error = "not a folder";
        return nullptr;
    }
    std::unique_ptr<DestinationFolder> folder(new DestinationFolder());
    folder->path_ = path_ + (path_.empty() || path_.back() == '\\' ? "" : "\\") + name;
    folder->handle_ = h;
    folder->openedPath_ = FinalPathOf(h);
    if (folder->openedPath_.empty())
        folder->openedPath_ = openedPath_ + name;
    if (folder->openedPath_.back() != '\\')
        folder->openedPath_ += '\\';
    return folder;
}

// NTFS keeps a folder's creation time as it keeps a file's: all three are set.
bool DestinationFolder::SetTimes(uint64_t created, uint64_t accessed, uint64_t modified) {
    return SetHandleTimes(static_cast<HANDLE>(handle_), created, accessed, modified);
}

// A new folder takes its owner from its parent's inheritable rights.
bool DestinationFolder::GiveTo(uint32_t, uint32_t, std::string&) { return true; }

} // namespace platform
