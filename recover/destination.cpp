#include "recover/destination.h"

#include "platform/destination_folder.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/users.h"
#include "recover/recover_worker.h"
#include "volume/helpers.h"

namespace {

// Whether a new file can be made in the folder held open. The probe is
// created only where no file is, and only a probe made here is removed.
bool TakesNewFile(platform::DestinationFolder& folder) {
    for (int i = 0; i <= 1000; ++i) {
        const std::string probe = "1._" + (i == 0 ? std::string() : std::to_string(i - 1));
        std::string error;
        bool exists = false;
        if (auto file = folder.CreateNew(probe, error, exists)) {
            file.reset();
            folder.Remove(probe);
            return true;
        }
        if (!exists)
            return false;
    }
    return false;
}

// Root working for a user writes only where that user or root owns the
// folder: files given to one user are not dropped into a third's folder.
bool OwnerFitsUser(const platform::DestinationFolder& folder, const std::optional<platform::InvokingUser>& user) {
    const std::optional<uint32_t> owner = folder.OwnerId();
    return !user || !owner || *owner == 0 || *owner == user->Uid;
}

} // namespace

DestinationVerdict CheckDestination(TThreadRecover& worker, const std::string& folder) {
    if (!platform::DirectoryExists(folder))
        return DestinationVerdict::Missing;
    // From here on the folder is the one held open, whatever its path names later.
    std::string error;
    if (!worker.OpenDestination(folder, error))
        return DestinationVerdict::ReadOnly;
    platform::DestinationFolder& held = *worker.DestinationHandle();
    worker.FileOwner = platform::InvokingUserOfRoot();
    if (!OwnerFitsUser(held, worker.FileOwner) || !TakesNewFile(held)) {
        worker.CloseDestination();
        return DestinationVerdict::ReadOnly;
    }
    worker.Destination = folder;
    // Equal sizes are not enough, and unknown sizes count as none.
    auto space = platform::FolderSpace(folder);
    if (!space || space->totalBytes <= 0 || space->freeBytes <= worker.JobBytes) {
        worker.CloseDestination();
        return DestinationVerdict::NoRoom;
    }
    if (worker.TargetOnSourceDrive())
        return DestinationVerdict::SourceDrive;
    return DestinationVerdict::Ok;
}
