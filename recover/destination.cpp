#include "recover/destination.h"

#include "platform/drives.h"
#include "platform/files.h"
#include "recover/recover_worker.h"
#include "volume/helpers.h"

DestinationVerdict CheckDestination(TThreadRecover& worker, const std::string& folder) {
    if (!platform::DirectoryExists(folder))
        return DestinationVerdict::Missing;
    if (volume::IsReadOnlyFolder(folder))
        return DestinationVerdict::ReadOnly;
    worker.Destination = folder;
    // Equal sizes are not enough, and unknown sizes count as none.
    auto space = platform::FolderSpace(folder);
    if (!space || space->totalBytes <= 0 || space->freeBytes <= worker.JobBytes)
        return DestinationVerdict::NoRoom;
    if (worker.TargetOnSourceDrive())
        return DestinationVerdict::SourceDrive;
    return DestinationVerdict::Ok;
}
