#include "scan/disk_drives.h"

#include <cctype>

#include "media/container.h"
#include "platform/drives.h"
#include "volume/helpers.h"
#include "volume/language.h"

namespace scan {

namespace {

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string PartitionCaption(const std::string& disk, const DiskVolume& volume) {
    std::string caption = BaseName(disk);
    const media::ContainerFormat format = media::DetectContainer(disk);
    if (format != media::ContainerFormat::Raw)
        caption += std::string(" (") + media::ContainerName(format) + ")";
    if (volume.Partition.Scheme == media::PartitionScheme::Unpartitioned)
        caption += " \u2014 " + volume::LangText("M_Unpartitioned", "Unpartitioned space") + " (";
    else
        caption += " \u2014 " + volume::LangText("M_Partition", "Partition") + " " +
                   std::to_string(volume.Partition.Number) + " (";
    if (!volume.FileSystemName.empty())
        caption += volume.FileSystemName + ", ";
    return caption + volume::SizeText(static_cast<int64_t>(volume.Partition.Length)) + ")";
}

namespace {

enum class Wanted : uint8_t { Volumes, UnpartitionedSpace };

std::vector<std::unique_ptr<TMyDisk>> OpenDrivesOf(const std::string& path, const ScanContext& context,
                                                   const PartitionSearch& search, Wanted wanted) {
    std::vector<std::unique_ptr<TMyDisk>> drives;
    const uint32_t type = platform::DriveTypeOf(path);
    if (type != platform::kDriveRemovable && type != platform::kDriveFixed)
        return drives;
    const bool gaps = wanted == Wanted::UnpartitionedSpace;
    DiskContents disk = ReadDisk(path, type, search, context.SearchContent || gaps);
    if (!disk.IsDisk())
        return drives;
    for (DiskVolume& volume : disk.Volumes) {
        if (gaps && volume.Partition.Scheme != media::PartitionScheme::Unpartitioned)
            continue;
        const std::string caption = PartitionCaption(path, volume);
        ScanContext volumeContext = context;
        volumeContext.SearchContent = context.SearchContent || gaps;
        auto drive = std::make_unique<TMyDisk>(std::move(volume.Drive), volumeContext);
        // Partitions no reader takes are left out, as the command line passes them over.
        if (!drive->Reader)
            continue;
        drive->Caption = caption;
        drives.push_back(std::move(drive));
    }
    return drives;
}

} // namespace

std::vector<std::unique_ptr<TMyDisk>> OpenDiskDrives(const std::string& path, const ScanContext& context,
                                                     const PartitionSearch& search) {
    return OpenDrivesOf(path, context, search, Wanted::Volumes);
}

std::vector<std::unique_ptr<TMyDisk>> OpenUnpartitionedSpace(const std::string& path, const ScanContext& context) {
    return OpenDrivesOf(path, context, {}, Wanted::UnpartitionedSpace);
}

bool IsImagePartitionDrive(const std::string& name) {
    const size_t hash = name.rfind('#');
    if (hash == std::string::npos || hash == 0 || hash + 1 == name.size())
        return false;
    for (size_t i = hash + 1; i < name.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return false;
    return platform::IsVolumeImage(name.substr(0, hash));
}

} // namespace scan
