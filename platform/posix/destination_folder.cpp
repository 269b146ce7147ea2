#include "platform/destination_folder.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/file_times.h"

namespace platform {

namespace {

int OpenFolderNoFollow(const char* path) { return ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); }

} // namespace

std::unique_ptr<DestinationFolder> DestinationFolder::Open(const std::string& path, std::string& error) {
    int fd = OpenFolderNoFollow(path.c_str());
    if (fd < 0 && errno == ELOOP) {
        // The user named a link to a folder: it is read once, now.
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved))
            fd = OpenFolderNoFollow(resolved);
    }
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = "not a folder";
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<DestinationFolder> folder(new DestinationFolder());
    folder->path_ = path;
    folder->owner_ = static_cast<uint32_t>(st.st_uid);
    folder->fd_ = fd;
    return folder;
}

DestinationFolder::~DestinationFolder() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool DestinationFolder::Has(const std::string& name) const {
    struct stat st {};
    return ::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

std::unique_ptr<OutputFile> DestinationFolder::CreateNew(const std::string& name, std::string& error, bool& exists) {
    exists = false;
    int fd = ::openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        exists = errno == EEXIST;
        error = std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<OutputFile> file(new OutputFile());
    file->fd_ = fd;
    return file;
}

DestinationFolder::RenameResult DestinationFolder::RenameNoReplace(const std::string& from, const std::string& to,
                                                                   std::string& error) {
    if (::renameat2(fd_, from.c_str(), fd_, to.c_str(), RENAME_NOREPLACE) == 0)
        return RenameResult::Done;
    if (errno == EEXIST)
        return RenameResult::NameTaken;
    // Some file systems (older kernels, network shares, some FUSE ones) take
    // no flags: a hard link is made under the new name, which fails just as
    // well when the name is taken, and the old name is dropped.
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        error = std::strerror(errno);
        return RenameResult::Failed;
    }
    if (::linkat(fd_, from.c_str(), fd_, to.c_str(), 0) == 0) {
        ::unlinkat(fd_, from.c_str(), 0);
        return RenameResult::Done;
    }
    if (errno == EEXIST)
        return RenameResult::NameTaken;
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) {
        error = std::strerror(errno);
        return RenameResult::Failed;
    }
    // A file system with neither (FAT through some drivers): look, then
    // rename. Only a name taken in the moment between can be replaced.
    if (Has(to))
        return RenameResult::NameTaken;
    if (::renameat(fd_, from.c_str(), fd_, to.c_str()) == 0)
        return RenameResult::Done;
    error = std::strerror(errno);
    return RenameResult::Failed;
}

bool DestinationFolder::Remove(const std::string& name) { return ::unlinkat(fd_, name.c_str(), 0) == 0; }

std::unique_ptr<DestinationFolder> DestinationFolder::OpenSubfolder(const std::string& name, bool create,
                                                                    std::string& error, bool& made, bool& notFolder) {
    made = false;
    notFolder = false;
    if (create) {
        if (::mkdirat(fd_, name.c_str(), 0755) == 0)
            made = true;
        else if (errno != EEXIST) {
            error = std::strerror(errno);
            return nullptr;
        }
    }
    // O_NOFOLLOW: a link planted under the name fails here instead of
    // leading the writes out of the destination.
    const int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        notFolder = errno == ENOTDIR || errno == ELOOP;
        error = notFolder ? "not a folder" : std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
        ::close(fd);
        notFolder = true;
        error = "not a folder";
        return nullptr;
    }
    std::unique_ptr<DestinationFolder> folder(new DestinationFolder());
    folder->path_ = path_ + (path_.empty() || path_.back() == '/' ? "" : "/") + name;
    folder->owner_ = static_cast<uint32_t>(st.st_uid);
    folder->fd_ = fd;
    return folder;
}

bool DestinationFolder::SetTimes(uint64_t, uint64_t accessed, uint64_t modified) {
    timespec times[2];
    ToTimespecs(accessed, modified, times);
    return ::futimens(fd_, times) == 0;
}

bool DestinationFolder::GiveTo(uint32_t uid, uint32_t gid, std::string& error) {
    if (::fchown(fd_, static_cast<uid_t>(uid), static_cast<gid_t>(gid)) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace platform
