#include "platform/files.h"
#include "platform/posix/file_times.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool CreateProbeFile(const std::string& path, bool& exists) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    exists = fd < 0 && errno == EEXIST;
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

char PathDelimiter() { return '/'; }

bool SamePath(const std::string& a, const std::string& b) { return a == b; }

} // namespace platform

#include <cerrno>
#include <cstring>
#include <sys/statfs.h>
#include <sys/time.h>

namespace platform {

OutputFile::~OutputFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool OutputFile::Write(std::span<const uint8_t> bytes, std::string& error) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? std::strerror(errno) : "nothing was written";
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool OutputFile::Close(std::string& error) {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

bool OutputFile::SetTimes(uint64_t, uint64_t accessed, uint64_t modified) {
    timespec times[2];
    ToTimespecs(accessed, modified, times);
    return ::futimens(fd_, times) == 0;
}

bool OutputFile::GiveTo(uint32_t uid, uint32_t gid, std::string& error) {
    if (::fchown(fd_, static_cast<uid_t>(uid), static_cast<gid_t>(gid)) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

uint64_t MaxFileSizeIn(const std::string& folder) {
    struct statfs fs {};
    constexpr long kMsdosMagic = 0x4d44;
    if (::statfs(folder.c_str(), &fs) == 0 && fs.f_type == kMsdosMagic)
        return 0xFFFFFFFFull;  // FAT32 holds at most 4 GiB - 1 byte
    return UINT64_MAX;
}

bool FolderOnDrive(const std::string& folder, const std::string& drive) {
    struct stat f {}, d {};
    if (::stat(folder.c_str(), &f) != 0 || ::stat(drive.c_str(), &d) != 0 || !S_ISBLK(d.st_mode))
        return false;
    return f.st_dev == d.st_rdev;
}

} // namespace platform
