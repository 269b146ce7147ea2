#include "platform/device.h"
#include "platform/clock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#endif

namespace platform {

std::unique_ptr<VolumeDevice> VolumeDevice::Open(const std::string& path) {
    if (path.empty())
        return nullptr;
    // Read-only, always: a scanned volume is never written.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<VolumeDevice> device(new VolumeDevice());
    device->fd_ = fd;
    if (S_ISREG(st.st_mode)) {
        device->size_ = static_cast<uint64_t>(st.st_size);
    } else {
#ifdef BLKGETSIZE64
        uint64_t bytes = 0;
        if (::ioctl(fd, BLKGETSIZE64, &bytes) == 0)
            device->size_ = bytes;
#endif
    }
    device->faults_ = ReadFaultsFor(path);
    return device;
}

bool OpenRefusedForRights(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return errno == EACCES || errno == EPERM;
}

bool HasAdministratorRights() { return ::geteuid() == 0; }

VolumeDevice::~VolumeDevice() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool VolumeDevice::ReadUnfaulted(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                        uint32_t limitMs, uint32_t& done) const {
    done = 0;
    if (memory_)
        return ReadMemory(buffer, count, offset, cancel, done);
    if (fd_ < 0)
        return false;
    // Large requests go in pieces so that a stop request is seen between them.
    constexpr uint32_t kPiece = 4u << 20;
    const uint64_t start = TickCountMs();
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < count) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return false;
        if (limitMs && TickCountMs() - start > limitMs)
            return false;
        uint32_t want = count - done < kPiece ? count - done : kPiece;
        ssize_t got = ::pread(fd_, out + done, want, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            return false;  // past the end of the volume
        done += static_cast<uint32_t>(got);
    }
    return true;
}

} // namespace platform
