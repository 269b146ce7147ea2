// The partition layer over a disk held in the input: the MBR and its chain
// of extended boot records, the GPT headers (primary and backup) and their
// entries. Every partition found must lie inside the disk and overlap none.
#include <cstdlib>

#include "media/byte_source.h"
#include "media/partition_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    media::DeviceSource disk(platform::VolumeDevice::FromMemory(data, size));
    const media::TableReading reading = media::ReadPartitionTable(disk);
    uint64_t end = 0;
    for (const media::Partition& p : reading.Table.Partitions) {
        if (p.Length == 0 || p.Start < end || p.Start > size || p.Length > size - p.Start)
            std::abort();
        end = p.Start + p.Length;
    }
    return 0;
}
