#include "cli/partition_listing.h"

#include <cstdio>

#include "cli/output.h"
#include "cli/progress_bar.h"
#include "media/container.h"
#include "platform/drives.h"
#include "scan/disk.h"
#include "scan/disk_volumes.h"
#include "volume/helpers.h"
#include "volume/text.h"

namespace cli {

namespace {

struct Row {
    const media::Partition* partition = nullptr;  // null: the source is one bare volume
    uint64_t start = 0, size = 0;
    std::string fileSystem, label;
};

// The volume's own label where the table names none (MBR, or an unnamed GPT entry).
std::string VolumeLabel(std::unique_ptr<TDriverInfo> drive) {
    TMyDisk disk(std::move(drive), ScanContext{});
    return disk.Reader ? disk.Reader->VolumeLabel() : std::string();
}

std::string JsonNumberOrNull(const media::Partition* p, uint32_t value) {
    return p ? std::to_string(value) : std::string("null");
}

} // namespace

int RunPartitions(const Options& options) {
    int rc = kExitOk;
    std::string json = "{\"sources\":[";
    Table table({"SOURCE", "#", "SCHEME", "START", "SIZE", "TYPE", "FILE SYSTEM", "LABEL"});
    bool firstSource = true;
    std::vector<std::string> containers;  // "disk.E01: E01 image of N bytes", above the table
    // The full search reads the whole disk: its progress goes to standard error.
    ProgressBar bar;
    scan::PartitionSearch search;
    search.Full = options.searchPartitions;
    search.Progress = [&bar](uint64_t done, uint64_t total) {
        bar.Show(total ? 100.0 * static_cast<double>(done) / static_cast<double>(total) : 0, "searching for partitions");
    };
    for (const std::string& source : options.sources) {
        const uint32_t type = platform::DriveTypeOf(source);
        scan::DiskContents disk;
        if (type == platform::kDriveRemovable || type == platform::kDriveFixed)
            disk = scan::ReadDisk(source, type, search);
        bar.Clear();
        if (!disk.Opened) {
            const std::string refusal = media::ContainerRefusal(source);
            std::fprintf(stderr, "dunro: %s: %s\n", volume::PrintableText(source).c_str(),
                         refusal.empty() ? "cannot be opened for reading" : refusal.c_str());
            rc = kExitBadSource;
            continue;
        }
        std::vector<Row> rows;
        if (disk.IsDisk()) {
            for (scan::DiskVolume& v : disk.Volumes) {
                Row row{&v.Partition, v.Partition.Start, v.Partition.Length, v.FileSystemName, v.Partition.Label};
                if (row.label.empty() && v.FileSystem != kFileSystemUnknown)
                    row.label = VolumeLabel(std::move(v.Drive));
                rows.push_back(std::move(row));
            }
        } else {
            // A bare volume: the whole source, as `scan` reads it.
            auto drive = std::make_unique<TDriverInfo>(source, type);
            const uint64_t size = drive->Source ? drive->Source->Size() : 0;
            TMyDisk bare(std::move(drive), ScanContext{});
            rows.push_back({nullptr, 0, size, bare.Reader ? bare.Reader->FileSystemName() : std::string(),
                            bare.Reader ? bare.Reader->VolumeLabel() : std::string()});
        }
        json += firstSource ? "\n" : ",\n";
        firstSource = false;
        const media::ContainerFormat container = media::DetectContainer(source);
        if (container != media::ContainerFormat::Raw)
            containers.push_back(volume::PrintableText(source) + ": " + media::ContainerName(container) + " image of " +
                                 std::to_string(disk.Size) + " bytes\n");
        json += "{\"source\":" + JsonString(source) + ",\"container\":\"" + media::ContainerName(container) +
                "\",\"size\":" + std::to_string(disk.Size) +
                ",\"scheme\":" +
                (disk.IsDisk() ? "\"" + std::string(media::SchemeName(disk.Scheme())) + "\"" : "null") +
                ",\"reason\":" + (disk.Table.Found ? "null" : JsonString(disk.Table.Reason)) + ",\"notes\":[";
        for (size_t i = 0; i < disk.Table.Table.Notes.size(); ++i)
            json += (i ? "," : "") + JsonString(disk.Table.Table.Notes[i]);
        json += "],\"partitions\":[";
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            json += std::string(i ? "," : "") + "{\"partition\":" + JsonNumberOrNull(r.partition, r.partition ? r.partition->Number : 0) +
                    ",\"scheme\":" + (r.partition ? "\"" + std::string(media::SchemeName(r.partition->Scheme)) + "\"" : "null") +
                    ",\"start\":" + std::to_string(r.start) + ",\"size\":" + std::to_string(r.size) +
                    ",\"type\":" + (r.partition ? JsonString(r.partition->Type) : "null") +
                    ",\"type_name\":" + (r.partition ? JsonString(r.partition->TypeName) : "null") +
                    ",\"file_system\":" + (r.fileSystem.empty() ? "null" : JsonString(r.fileSystem)) +
                    ",\"label\":" + JsonString(r.label) + "}";
            // MBR types are known by their number, GPT types by their name where we know it.
            std::string typeText = r.partition ? r.partition->Type : "-";
            if (r.partition && !r.partition->TypeName.empty())
                typeText = r.partition->Scheme == media::PartitionScheme::Mbr
                               ? r.partition->TypeName + " (" + r.partition->Type + ")"
                               : r.partition->TypeName;
            table.Add({source, r.partition ? std::to_string(r.partition->Number) : "-",
                       r.partition ? media::SchemeName(r.partition->Scheme) : "volume", std::to_string(r.start),
                       std::to_string(r.size), typeText, r.fileSystem.empty() ? "-" : r.fileSystem,
                       volume::PrintableText(r.label)});
        }
        json += "]}";
        if (options.format != "json") {
            for (const std::string& note : disk.Table.Table.Notes)
                std::fprintf(stderr, "dunro: %s: %s\n", volume::PrintableText(source).c_str(), note.c_str());
        }
    }
    if (options.format == "json")
        std::printf("%s\n]}\n", json.c_str());
    else {
        for (const std::string& line : containers)
            std::fputs(line.c_str(), stdout);
        std::fputs(table.Render({false, true, false, true, true, false, false, false}).c_str(), stdout);
    }
    return rc;
}

} // namespace cli
