#include "platform/files.h"
#include "platform/win32/error_text.h"
#include "platform/win32/file_times.h"
#include "platform/win32/wide.h"

#include <algorithm>

namespace platform {

bool FileExists(const std::string& path) {
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DirectoryExists(const std::string& path) {
    DWORD a = GetFileAttributesW(Widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Widen(path).c_str()) != 0; }

bool CreateProbeFile(const std::string& path, bool& exists) {
    HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        return false;
    }
    exists = false;
    CloseHandle(h);
    return true;
}

char PathDelimiter() { return '\\'; }

bool SamePath(const std::string& a, const std::string& b) {
    return CompareStringOrdinal(Widen(a).c_str(), -1, Widen(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

} // namespace platform

namespace platform {

OutputFile::~OutputFile() {
    if (handle_)
        CloseHandle(static_cast<HANDLE>(handle_));
}

bool OutputFile::Write(std::span<const uint8_t> bytes, std::string& error) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30)), written = 0;
        if (!WriteFile(static_cast<HANDLE>(handle_), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            error = ErrorText(GetLastError());
            return false;
        }
        done += written;
    }
    return true;
}

bool OutputFile::Close(std::string& error) {
    HANDLE h = static_cast<HANDLE>(handle_);
    handle_ = nullptr;
    if (!CloseHandle(h)) {
        error = ErrorText(GetLastError());
        return false;
    }
    return true;
}

bool OutputFile::SetTimes(uint64_t created, uint64_t accessed, uint64_t modified) {
    // Times set through the handle are kept: the writes before are not dated again at the close.
    return SetHandleTimes(static_cast<HANDLE>(handle_), created, accessed, modified);
}

// A new file takes its owner from the folder's inheritable rights; there is no
// invoking user to give it to.
bool OutputFile::GiveTo(uint32_t, uint32_t, std::string&) { return true; }

uint64_t MaxFileSizeIn(const std::string& folder) {
    wchar_t root[MAX_PATH] = {}, fsName[MAX_PATH] = {};
    if (GetVolumePathNameW(Widen(folder).c_str(), root, MAX_PATH) &&
        GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, fsName, MAX_PATH) &&
        std::wstring(fsName) == L"FAT32")
        return 0xFFFFFFFFull;
    return UINT64_MAX;
}

bool FolderOnDrive(const std::string& folder, const std::string& drive) {
    return folder.size() >= 2 && drive.size() == 2 && drive[1] == ':' && folder[1] == ':' &&
           CompareStringOrdinal(Widen(folder.substr(0, 2)).c_str(), 2, Widen(drive).c_str(), 2, TRUE) == CSTR_EQUAL;
}

} // namespace platform
