#pragma once
// Setting a file's or folder's times through its handle, as FILETIME values;
// a time of 0 is left alone.
#include <cstdint>
#include <windows.h>

namespace platform {

inline bool SetHandleTimes(HANDLE handle, uint64_t created, uint64_t accessed, uint64_t modified) {
    auto ft = [](uint64_t v) { return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}; };
    FILETIME c = ft(created), a = ft(accessed), m = ft(modified);
    return SetFileTime(handle, created ? &c : nullptr, accessed ? &a : nullptr, modified ? &m : nullptr) != 0;
}

} // namespace platform
