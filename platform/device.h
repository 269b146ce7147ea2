#pragma once
// Raw, read-only access to a volume: a block device or a volume image file.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/read_faults.h"

namespace platform {

class VolumeDevice {
public:
    // Opens the device or image for reading only. Null when it cannot be opened.
    static std::unique_ptr<VolumeDevice> Open(const std::string& path);
    // A volume held in memory (the caller keeps the bytes alive), for fuzzing and tests.
    static std::unique_ptr<VolumeDevice> FromMemory(const uint8_t* data, size_t size,
                                                    std::shared_ptr<const ReadFaultPlan> faults = nullptr);
    ~VolumeDevice();
    VolumeDevice(const VolumeDevice&) = delete;
    VolumeDevice& operator=(const VolumeDevice&) = delete;

    // Reads `count` bytes at `offset` into `buffer`. `done` receives the bytes
    // actually read. Fails when fewer bytes than asked could be read, when
    // `cancel` becomes true, or when `limitMs` (0: none) passes. The request is
    // finished before the call returns, so the caller may free the buffer.
    bool Read(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
              uint32_t limitMs, uint32_t& done) const;

    // Size in bytes as the system reports it; 0 when unknown.
    uint64_t Size() const { return size_; }

private:
    VolumeDevice() = default;
    // The read itself, from the system or from memory, past the test seam.
    bool ReadUnfaulted(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                       uint32_t limitMs, uint32_t& done) const;
    bool ReadMemory(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                    uint32_t& done) const;
#ifdef _WIN32
    void* handle_ = nullptr;
    bool rawDevice_ = false;  // "\\.\X:": reads must be sector-aligned, buffers too
    bool ReadOverlapped(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                        uint32_t limitMs, uint32_t& done) const;
#else
    int fd_ = -1;
#endif
    uint64_t size_ = 0;
    const uint8_t* memory_ = nullptr;
    std::shared_ptr<const ReadFaultPlan> faults_;
};

// True when the system refuses to open `path` for reading for lack of rights
// (raw drives need administrator rights), as opposed to its not existing.
bool OpenRefusedForRights(const std::string& path);

// Whether this process runs with administrator rights (root on POSIX): when
// it does, a drive refused to it stays refused however the user starts it.
bool HasAdministratorRights();

} // namespace platform
