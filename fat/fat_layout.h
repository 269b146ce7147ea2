#pragma once
// Where each field of the FAT structures the reader decodes lies, in bytes
// from the start of its structure. Every number is little-endian.
#include <cstddef>
#include <cstdint>

namespace fat::layout {

// The boot sector with the FAT32 form of the BIOS parameter block; the
// fields up to 0x24 are common to every FAT width.
namespace boot {
constexpr size_t kBytesPerSector = 0x0B;
constexpr size_t kSectorsPerCluster = 0x0D;
constexpr size_t kReservedSectors = 0x0E;
constexpr size_t kTableCount = 0x10;
constexpr size_t kRootEntryCount = 0x11;  // the fixed root folder of FAT12/16; 0 on FAT32
constexpr size_t kTotalSectors16 = 0x13;  // 0 when the count needs the 32-bit field
constexpr size_t kMedia = 0x15;
constexpr size_t kSectorsPerTable16 = 0x16;  // 0 on FAT32, whose count lies at 0x24
constexpr size_t kTotalSectors = 0x20;  // the 32-bit count; the 16-bit one at 0x13 is 0 on FAT32
constexpr size_t kSectorsPerTable = 0x24;
// Bit 7 set: only the copy in the low four bits is kept up to date.
constexpr size_t kExtendedFlags = 0x28;
constexpr size_t kRootCluster = 0x2C;
constexpr size_t kFsInfoSector = 0x30;
constexpr size_t kBackupBootSector = 0x32;
constexpr size_t kVolumeLabel = 0x47;
constexpr size_t kVolumeLabelLength = 11;
// "FAT32   ": informative only, but formatting always writes it.
constexpr size_t kFileSystemType = 0x52;
constexpr size_t kFileSystemTypeLength = 8;
constexpr size_t kSize = 512;

constexpr uint8_t kShortJump = 0xEB;  // every FAT boot sector starts with a jump over the parameters
constexpr uint8_t kNearJump = 0xE9;
constexpr uint8_t kLowestMedia = 0xF8;  // media bytes are 0xF0 or 0xF8 to 0xFF
constexpr uint8_t kFloppyMedia = 0xF0;

constexpr uint16_t kMirroringOff = 0x80;
constexpr uint16_t kActiveTableMask = 0x0F;
constexpr uint16_t kNoBackup = 0xFFFF;
// Where formatting puts the backup when the field naming it is damaged too.
constexpr uint64_t kUsualBackupBootSector = 6;
} // namespace boot

// The extended boot record of FAT12 and FAT16, after the common parameters.
namespace boot16 {
constexpr size_t kDriveNumber = 0x24;
constexpr size_t kExtendedSignature = 0x26;  // 0x29: the id, label and type below are present
constexpr size_t kVolumeId = 0x27;
constexpr size_t kVolumeLabel = 0x2B;
constexpr size_t kVolumeLabelLength = 11;
constexpr size_t kFileSystemType = 0x36;  // "FAT12   ", "FAT16   ": informative only
constexpr size_t kFileSystemTypeLength = 8;

constexpr uint8_t kHasLabel = 0x29;
} // namespace boot16

// The FSInfo sector (named by the boot sector): hints only, never trusted.
namespace fs_info {
constexpr size_t kLeadSignature = 0x000;  // "RRaA"
constexpr size_t kStructSignature = 0x1E4;  // "rrAa"
constexpr size_t kFreeCount = 0x1E8;
constexpr size_t kNextFree = 0x1EC;
constexpr size_t kTrailSignature = 0x1FC;
} // namespace fs_info

// One entry of the allocation table. FAT32's values are the reader's own:
// 12- and 16-bit entries are widened to them as they are decoded.
namespace table {
constexpr size_t kEntrySize = 4;
constexpr uint32_t kEntryMask = 0x0FFFFFFF;  // the top four bits are reserved
constexpr uint32_t kFirstData = 2;  // 0 and 1 are the table's reserved slots
constexpr uint32_t kLastData = 0x0FFFFFEF;
constexpr uint32_t kBadCluster = 0x0FFFFFF7;
constexpr uint32_t kEndOfChainFrom = 0x0FFFFFF8;

// The width follows from the number of data clusters, whatever the boot sector's label says.
constexpr uint64_t kFat12ClustersBelow = 4085;
constexpr uint64_t kFat16ClustersBelow = 65525;
// From these values on a narrow entry is reserved, bad or end of chain,
// like FAT32's from kLastData + 1.
constexpr uint32_t kFat12ReservedFrom = 0xFF0;
constexpr uint32_t kFat16ReservedFrom = 0xFFF0;
constexpr uint32_t kFat12BadCluster = 0xFF7;
constexpr uint32_t kFat16BadCluster = 0xFFF7;
} // namespace table

// The 32-byte short directory entry.
namespace entry {
constexpr size_t kName = 0x00;  // 8 bytes, blank-padded; first byte 0xE5 once deleted
constexpr size_t kNameLength = 8;
constexpr size_t kExtension = 0x08;
constexpr size_t kExtensionLength = 3;
constexpr size_t kShortNameLength = 11;  // name and extension together, as the checksum covers them
constexpr size_t kAttributes = 0x0B;
// Windows' flags for names stored upper case but shown lower case.
constexpr size_t kCaseFlags = 0x0C;
constexpr size_t kCreatedTime = 0x0E;
constexpr size_t kCreatedDate = 0x10;
constexpr size_t kAccessedDate = 0x12;
constexpr size_t kFirstClusterHigh = 0x14;  // FAT32 only (0 on FAT12/16); some systems clear it on deletion
constexpr size_t kModifiedTime = 0x16;
constexpr size_t kModifiedDate = 0x18;
constexpr size_t kFirstClusterLow = 0x1A;
constexpr size_t kFileSize = 0x1C;
constexpr size_t kSize = 32;

constexpr uint8_t kAttrVolumeLabel = 0x08;
constexpr uint8_t kAttrDirectory = 0x10;
constexpr uint8_t kAttrLongName = 0x0F;  // read-only, hidden, system and label at once: no short entry is that
constexpr uint8_t kAttrReserved = 0xC0;

constexpr uint8_t kEndOfDirectory = 0x00;
constexpr uint8_t kDeletedMark = 0xE5;
constexpr uint8_t kStandsForE5 = 0x05;  // a live name that really begins with 0xE5
constexpr uint8_t kLowerCaseName = 0x08;
constexpr uint8_t kLowerCaseExtension = 0x10;
} // namespace entry

// A long-name piece: 13 UTF-16 units in three stretches.
namespace long_name {
constexpr size_t kOrder = 0x00;  // 1 to 20, with 0x40 on the last piece
constexpr size_t kUnits1 = 0x01;
constexpr size_t kUnits1End = 0x0B;
constexpr size_t kAttributes = 0x0B;  // always 0x0F
constexpr size_t kType = 0x0C;  // always 0
constexpr size_t kChecksum = 0x0D;  // of the short name the piece belongs to
constexpr size_t kUnits2 = 0x0E;
constexpr size_t kUnits2End = 0x1A;
constexpr size_t kFirstCluster = 0x1A;  // always 0
constexpr size_t kUnits3 = 0x1C;
constexpr size_t kUnits3End = 0x20;

constexpr uint8_t kOrderMask = 0x1F;
constexpr uint8_t kLastPiece = 0x40;
constexpr uint8_t kMaxOrder = 20;
} // namespace long_name

} // namespace fat::layout
