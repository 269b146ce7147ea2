#include "platform/device.h"
#include "platform/win32/wide.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>

namespace platform {

namespace {
// "C:" names a drive and becomes its raw device path; anything else is an image file.
std::wstring DevicePath(const std::string& name) {
    if (name.size() == 2 && name[1] == ':')
        return L"\\\\.\\" + Widen(name);
    return Widen(name);
}
} // namespace

bool OpenRefusedForRights(const std::string& path) {
    HANDLE h = CreateFileW(DevicePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    return GetLastError() == ERROR_ACCESS_DENIED;
}

bool HasAdministratorRights() {
    BOOL member = FALSE;
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &administrators)) {
        if (!CheckTokenMembership(nullptr, administrators, &member))
            member = FALSE;
        FreeSid(administrators);
    }
    return member != FALSE;
}

std::unique_ptr<VolumeDevice> VolumeDevice::Open(const std::string& path) {
    if (path.empty())
        return nullptr;
    // Only what exists is opened: a missing image file must never be created.
    HANDLE h = CreateFileW(DevicePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    std::unique_ptr<VolumeDevice> device(new VolumeDevice());
    device->handle_ = h;
    device->rawDevice_ = DevicePath(path).rfind(L"\\\\.\\", 0) == 0;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(h, &size)) {
        device->size_ = static_cast<uint64_t>(size.QuadPart);
    } else {
        GET_LENGTH_INFORMATION info{};
        DWORD bytes = 0;
        OVERLAPPED ov{};
        ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (DeviceIoControl(h, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &info, sizeof info, &bytes, &ov) ||
            (GetLastError() == ERROR_IO_PENDING && GetOverlappedResult(h, &ov, &bytes, TRUE)))
            device->size_ = static_cast<uint64_t>(info.Length.QuadPart);
        CloseHandle(ov.hEvent);
    }
    device->faults_ = ReadFaultsFor(path);
    return device;
}

VolumeDevice::~VolumeDevice() {
    if (handle_)
        CloseHandle(static_cast<HANDLE>(handle_));
}

bool VolumeDevice::ReadUnfaulted(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                        uint32_t limitMs, uint32_t& done) const {
    done = 0;
    if (memory_)
        return ReadMemory(buffer, count, offset, cancel, done);
    if (!rawDevice_)
        return ReadOverlapped(buffer, count, offset, cancel, limitMs, done);
    // A raw volume is read unbuffered: whole sectors at sector offsets into a
    // sector-aligned buffer. 4096 covers 512-byte and 4K-native sectors; near
    // the end of a volume that is no multiple of 4096, 512 is tried as well.
    constexpr uint64_t kPiece = 16u << 20;
    const uint64_t end = offset + count;
    auto* out = static_cast<uint8_t*>(buffer);
    void* bounce = VirtualAlloc(nullptr, kPiece + 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!bounce)
        return false;
    bool ok = true;
    for (uint64_t pos = offset; ok && pos < end;) {
        uint64_t useful = 0;
        ok = false;
        for (uint64_t align : {uint64_t{4096}, uint64_t{512}}) {
            const uint64_t start = pos / align * align;
            const uint64_t stop = std::min<uint64_t>((end + align - 1) / align * align, start + kPiece);
            uint32_t got = 0;
            if (ReadOverlapped(bounce, static_cast<uint32_t>(stop - start), start, cancel, limitMs, got)) {
                useful = std::min<uint64_t>(stop, end) - pos;
                std::memcpy(out + (pos - offset), static_cast<uint8_t*>(bounce) + (pos - start), static_cast<size_t>(useful));
                ok = true;
                break;
            }
            if (cancel && cancel->load(std::memory_order_relaxed))
                break;
        }
        done += static_cast<uint32_t>(useful);
        pos += useful;
    }
    VirtualFree(bounce, 0, MEM_RELEASE);
    return ok && done == count;
}

bool VolumeDevice::ReadOverlapped(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                                  uint32_t limitMs, uint32_t& done) const {
    HANDLE h = static_cast<HANDLE>(handle_);
    if (!h)
        return false;
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(offset);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ov.hEvent)
        return false;
    DWORD got = 0;
    bool ok = ReadFile(h, buffer, count, &got, &ov) != 0;
    const ULONGLONG start = GetTickCount64();
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        bool cancelled = false;
        while (!ok) {
            if ((limitMs && GetTickCount64() - start > limitMs) || (cancel && cancel->load(std::memory_order_relaxed))) {
                CancelIoEx(h, &ov);
                cancelled = true;
            }
            if (cancelled) {
                // The request must be finished before the buffer goes back to the caller.
                GetOverlappedResult(h, &ov, &got, TRUE);
                ok = false;
                break;
            }
            WaitForSingleObject(ov.hEvent, 100);
            ok = GetOverlappedResult(h, &ov, &got, FALSE) != 0;
            if (!ok && GetLastError() != ERROR_IO_INCOMPLETE)
                break;
        }
    }
    CloseHandle(ov.hEvent);
    done = got;
    return ok && got == count;
}

} // namespace platform
