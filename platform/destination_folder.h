#pragma once
// The folder a recovery writes into, opened once and held for the whole job.
// Every file is created, renamed, timed and removed relative to this handle,
// never by joining the folder's path again: a folder swapped for a symbolic
// link while the job runs (by anyone who can write its parent) does not send
// root's writes elsewhere.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/files.h"

namespace platform {

// A fresh name of the form ".dunro-XXXXXX.part": hidden on POSIX, and never
// mistaken for a finished file.
std::string TemporaryFileName();
bool IsTemporaryFileName(const std::string& name);

class DestinationFolder {
public:
    // Opens `path`, which must be a folder. A symbolic link named as the
    // folder itself is resolved once, here, as the user chose it; nothing is
    // followed afterwards. Null with `error` saying why when it cannot.
    static std::unique_ptr<DestinationFolder> Open(const std::string& path, std::string& error);
    ~DestinationFolder();
    DestinationFolder(const DestinationFolder&) = delete;
    DestinationFolder& operator=(const DestinationFolder&) = delete;

    // The path as it was given, for texts and for joining shown names.
    const std::string& Path() const { return path_; }
    // The user who owns the folder; none where the system has no such number (Windows).
    std::optional<uint32_t> OwnerId() const { return owner_; }

    // Whether anything (a file, a folder, a link) carries `name` in the folder.
    bool Has(const std::string& name) const;
    // Creates `name` only when nothing carries it; `exists` tells that it was taken.
    std::unique_ptr<OutputFile> CreateNew(const std::string& name, std::string& error, bool& exists);
    // Creates a file under a fresh temporary name (".dunro-XXXXXX.part"),
    // returned in `name`.
    std::unique_ptr<OutputFile> CreateTemporary(std::string& name, std::string& error);

    enum class RenameResult { Done, NameTaken, Failed };
    // Gives `from` the name `to`, never replacing anything that carries `to`.
    // The file must be closed (Windows renames no open file).
    RenameResult RenameNoReplace(const std::string& from, const std::string& to, std::string& error);
    bool Remove(const std::string& name);

    // The folder `name` inside this one, held open as this one is; with
    // `create` made first when nothing carries the name. A link carrying the
    // name is refused, never followed, as is a file (`notFolder` tells that
    // something other than a folder carries it). `made` tells that it was
    // made here.
    std::unique_ptr<DestinationFolder> OpenSubfolder(const std::string& name, bool create, std::string& error,
                                                     bool& made, bool& notFolder);
    // Sets the held folder's times (FILETIME values; 0 leaves that time
    // alone; the creation time is kept only where the system can set it).
    bool SetTimes(uint64_t created, uint64_t accessed, uint64_t modified);
    // Gives the held folder to a user and group (POSIX; Windows has nothing to do).
    bool GiveTo(uint32_t uid, uint32_t gid, std::string& error);

private:
    DestinationFolder() = default;
    std::string path_;
    std::optional<uint32_t> owner_;
#ifdef _WIN32
    void* handle_ = nullptr;
    std::string openedPath_;  // where the held folder really is, to create by path under it
#else
    int fd_ = -1;
#endif
};

} // namespace platform
