#pragma once
// Where each field of the exFAT structures the reader decodes lies, in bytes
// from the start of its structure. Every number is little-endian.
#include <cstddef>
#include <cstdint>

namespace exfat::layout {

// The main boot sector (sector 0), and its copy at the start of the backup
// boot region.
namespace boot {
constexpr size_t kJump = 0x00;
constexpr size_t kFileSystemName = 0x03;  // "EXFAT   "
constexpr size_t kFileSystemNameLength = 8;
constexpr size_t kMustBeZero = 0x0B;      // where FAT keeps its parameter block: 53 zero bytes
constexpr size_t kMustBeZeroLength = 53;
constexpr size_t kPartitionOffset = 0x40;
constexpr size_t kVolumeLength = 0x48;    // in sectors
constexpr size_t kFatOffset = 0x50;       // in sectors
constexpr size_t kFatLength = 0x54;       // in sectors
constexpr size_t kClusterHeapOffset = 0x58;  // in sectors
constexpr size_t kClusterCount = 0x5C;
constexpr size_t kFirstClusterOfRoot = 0x60;
constexpr size_t kSerialNumber = 0x64;
constexpr size_t kRevision = 0x68;
constexpr size_t kVolumeFlags = 0x6A;     // excluded from the boot checksum
constexpr size_t kBytesPerSectorShift = 0x6C;
constexpr size_t kSectorsPerClusterShift = 0x6D;
constexpr size_t kNumberOfFats = 0x6E;
constexpr size_t kPercentInUse = 0x70;    // excluded from the boot checksum
constexpr size_t kBootSignature = 0x1FE;  // 0xAA55
constexpr size_t kSize = 512;

constexpr uint16_t kSignature = 0xAA55;
constexpr uint8_t kMinSectorShift = 9;    // 512 bytes
constexpr uint8_t kMaxSectorShift = 12;   // 4 KiB
constexpr uint8_t kMaxClusterShift = 25;  // sector and cluster shifts together: at most 32 MiB
} // namespace boot

// The boot region: eleven sectors (boot sector, eight extended boot sectors,
// OEM parameters, reserved) summed into the twelfth, which repeats the sum.
// The backup region follows at sector 12.
namespace region {
constexpr uint64_t kChecksummedSectors = 11;
constexpr uint64_t kChecksumSector = 11;
constexpr uint64_t kBackupStartSector = 12;
} // namespace region

// The allocation table: one 32-bit entry per cluster, entries 0 and 1 reserved.
namespace table {
constexpr size_t kEntrySize = 4;
constexpr uint32_t kFirstData = 2;
constexpr uint32_t kBad = 0xFFFFFFF7;
constexpr uint32_t kEndOfChain = 0xFFFFFFFF;
} // namespace table

// A directory entry: 32 bytes, its first byte the type. Bit 7 set: in use;
// clear on a deleted entry, which otherwise keeps its bytes. Bit 6: secondary.
namespace entry {
constexpr size_t kSize = 32;
constexpr size_t kType = 0x00;
constexpr uint8_t kInUse = 0x80;
constexpr uint8_t kSecondary = 0x40;
constexpr uint8_t kEndOfDirectory = 0x00;

constexpr uint8_t kAllocationBitmap = 0x81;
constexpr uint8_t kUpcaseTable = 0x82;
constexpr uint8_t kVolumeLabel = 0x83;
constexpr uint8_t kFile = 0x85;
constexpr uint8_t kDeletedFile = 0x05;
constexpr uint8_t kVolumeGuid = 0xA0;
constexpr uint8_t kTexFatPadding = 0xA1;
constexpr uint8_t kStreamExtension = 0xC0;
constexpr uint8_t kDeletedStreamExtension = 0x40;
constexpr uint8_t kFileName = 0xC1;
constexpr uint8_t kDeletedFileName = 0x41;
constexpr uint8_t kVendorExtension = 0xE0;
constexpr uint8_t kVendorAllocation = 0xE1;
} // namespace entry

// The File entry (0x85): the primary of a file's or folder's entry set.
namespace file {
constexpr size_t kSecondaryCount = 0x01;
constexpr size_t kSetChecksum = 0x02;     // over the whole set, skipping these two bytes
constexpr size_t kAttributes = 0x04;
constexpr size_t kCreateTimestamp = 0x08;
constexpr size_t kModifyTimestamp = 0x0C;
constexpr size_t kAccessTimestamp = 0x10;
constexpr size_t kCreate10ms = 0x14;
constexpr size_t kModify10ms = 0x15;
constexpr size_t kCreateUtcOffset = 0x16;
constexpr size_t kModifyUtcOffset = 0x17;
constexpr size_t kAccessUtcOffset = 0x18;

constexpr uint16_t kAttrDirectory = 0x10;
// A set holds the stream extension and one to seventeen name entries.
constexpr uint8_t kMinSecondaries = 2;
constexpr uint8_t kMaxSecondaries = 18;
} // namespace file

// A timestamp: a DOS date and time in one 32-bit word.
namespace timestamp {
constexpr uint32_t kDoubleSecondsMask = 0x1F;
constexpr uint32_t kMinuteShift = 5, kMinuteMask = 0x3F;
constexpr uint32_t kHourShift = 11, kHourMask = 0x1F;
constexpr uint32_t kDayShift = 16, kDayMask = 0x1F;
constexpr uint32_t kMonthShift = 21, kMonthMask = 0x0F;
constexpr uint32_t kYearShift = 25, kYearMask = 0x7F;  // from 1980
constexpr int kYearBase = 1980;
// The offset byte: bit 7 says it is valid, the low seven a signed count of 15 minutes.
constexpr uint8_t kOffsetValid = 0x80;
constexpr uint8_t kOffsetMask = 0x7F;
constexpr int kOffsetUnitMinutes = 15;
constexpr uint8_t kMax10ms = 199;
} // namespace timestamp

// The Stream Extension entry (0xC0).
namespace stream {
constexpr size_t kFlags = 0x01;
constexpr size_t kNameLength = 0x03;
constexpr size_t kNameHash = 0x04;
constexpr size_t kValidDataLength = 0x08;
constexpr size_t kFirstCluster = 0x14;
constexpr size_t kDataLength = 0x18;

constexpr uint8_t kAllocationPossible = 0x01;
constexpr uint8_t kNoFatChain = 0x02;
} // namespace stream

// The File Name entry (0xC1): fifteen UTF-16 units of the name.
namespace name {
constexpr size_t kFlags = 0x01;
constexpr size_t kFileName = 0x02;
constexpr size_t kUnitsPerEntry = 15;
constexpr size_t kMaxLength = 255;
} // namespace name

// The Allocation Bitmap entry (0x81): one bit per cluster, from cluster 2.
namespace bitmap {
constexpr size_t kFlags = 0x01;            // bit 0: which table the bitmap is for
constexpr size_t kFirstCluster = 0x14;
constexpr size_t kDataLength = 0x18;
} // namespace bitmap

// The Volume Label entry (0x83): up to eleven UTF-16 units.
namespace label {
constexpr size_t kCharacterCount = 0x01;
constexpr size_t kText = 0x02;
constexpr size_t kMaxLength = 11;
} // namespace label

} // namespace exfat::layout
