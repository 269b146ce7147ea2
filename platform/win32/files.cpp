#include "platform/files.h"
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

static std::string ErrorText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = text ? Narrow(text) : "error " + std::to_string(code);
    LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.'))
        out.pop_back();
    return out;
}

std::unique_ptr<OutputFile> OutputFile::CreateNew(const std::string& path, std::string& error, bool& exists) {
    exists = false;
    HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        exists = code == ERROR_FILE_EXISTS;
        error = ErrorText(code);
        return nullptr;
    }
    std::unique_ptr<OutputFile> file(new OutputFile());
    file->handle_ = h;
    return file;
}

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

bool SetFileTimes(const std::string& path, uint64_t created, uint64_t accessed, uint64_t modified) {
    HANDLE h = CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    auto ft = [](uint64_t v) { return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}; };
    FILETIME c = ft(created), a = ft(accessed), m = ft(modified);
    BOOL ok = SetFileTime(h, created ? &c : nullptr, accessed ? &a : nullptr, modified ? &m : nullptr);
    CloseHandle(h);
    return ok != 0;
}

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
