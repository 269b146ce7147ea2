#pragma once
// Where each field of the NTFS structures the reader decodes lies, in bytes
// from the start of its structure. Every number is little-endian.
#include <cstddef>
#include <cstdint>

namespace ntfs::layout {

namespace boot {
constexpr size_t kOemName = 0x03;  // "NTFS    ", eight bytes
constexpr size_t kOemNameLength = 8;
constexpr size_t kBytesPerSector = 0x0B;
// Up to 0x80 a count; above it a negative power of two (0xF4: 4096 sectors).
constexpr size_t kSectorsPerCluster = 0x0D;
constexpr size_t kTotalSectors = 0x28;  // one less than the volume holds: the backup sits in the last
constexpr size_t kMftCluster = 0x30;
constexpr size_t kMftMirrorCluster = 0x38;
// Positive: clusters per record; negative: the record is 2^-n bytes.
constexpr size_t kClustersPerRecord = 0x40;
constexpr size_t kSize = 512;
} // namespace boot

// The header of an MFT record ("FILE").
namespace record {
constexpr size_t kMagic = 0x00;  // "FILE"
constexpr size_t kMagicLength = 4;
constexpr size_t kUpdateSequenceOffset = 0x04;
constexpr size_t kUpdateSequenceCount = 0x06;  // the sequence number plus one per 512-byte stride
constexpr size_t kSequence = 0x10;  // counted up each time the record is freed
constexpr size_t kFirstAttribute = 0x14;
constexpr size_t kFlags = 0x16;
constexpr size_t kBytesInUse = 0x18;
constexpr size_t kBytesAllocated = 0x1C;  // the record's size on disk
constexpr size_t kBaseRecord = 0x20;  // non-zero in an extension record: the file it belongs to
// The record's own number: only written by systems whose update sequence
// array starts at kRecordNumberEnd or later (Windows XP on).
constexpr size_t kRecordNumber = 0x2C;
constexpr size_t kRecordNumberEnd = 0x30;
// Where the update sequence array lies in the records every system since
// Windows XP writes: its first two entries are the sequence number and the
// saved tail of the first sector.
constexpr size_t kUsualUpdateSequence = 0x30;
constexpr size_t kUsualSavedTail = 0x32;
// Where the first attribute begins when the header does not say.
constexpr size_t kUsualFirstAttribute = 0x38;
// What a record must hold to carry every header field above.
constexpr size_t kHeaderSize = 0x30;

constexpr uint16_t kInUse = 0x0001;
constexpr uint16_t kDirectory = 0x0002;
} // namespace record

// The header every attribute starts with.
namespace attribute {
constexpr size_t kType = 0x00;
constexpr size_t kLength = 0x04;
constexpr size_t kNonResident = 0x08;
constexpr size_t kNameLength = 0x09;  // in UTF-16 units
constexpr size_t kNameOffset = 0x0A;
constexpr size_t kFlags = 0x0C;
// The common part: type, length, form, name and flags.
constexpr size_t kCommonSize = 0x10;

// A resident attribute's value follows its header inside the record.
constexpr size_t kValueLength = 0x10;
constexpr size_t kValueOffset = 0x14;
constexpr size_t kResidentHeaderSize = 0x18;

// A non-resident attribute names its clusters by a run list.
constexpr size_t kLowestVcn = 0x10;  // non-zero in the later pieces of an attribute split over records
constexpr size_t kRunsOffset = 0x20;
constexpr size_t kCompressionUnit = 0x22;  // log2 of the clusters per unit
constexpr size_t kAllocatedSize = 0x28;
constexpr size_t kRealSize = 0x30;

constexpr uint32_t kEndMarker = 0xFFFFFFFF;
} // namespace attribute

namespace standard_information {
constexpr size_t kCreated = 0x00;
constexpr size_t kModified = 0x08;
constexpr size_t kChanged = 0x10;  // when the record itself changed
constexpr size_t kAccessed = 0x18;
constexpr size_t kTimesEnd = 0x20;
constexpr size_t kFileAttributes = 0x20;
constexpr size_t kFileAttributesEnd = 0x24;
} // namespace standard_information

namespace file_name {
constexpr size_t kParent = 0x00;  // a file reference
constexpr size_t kNameLength = 0x40;  // in UTF-16 units
constexpr size_t kNameSpace = 0x41;
constexpr size_t kName = 0x42;
constexpr uint8_t kDosNameSpace = 2;  // the 8.3 alias beside a long name
} // namespace file_name

// One entry of an $ATTRIBUTE_LIST.
namespace list_entry {
constexpr size_t kType = 0x00;
constexpr size_t kLength = 0x04;
constexpr size_t kNameLength = 0x06;
constexpr size_t kNameOffset = 0x07;
constexpr size_t kFirstVcn = 0x08;
constexpr size_t kHolder = 0x10;  // a file reference: the record that holds this piece
// Up to and including the attribute's id (two bytes at 0x18).
constexpr size_t kMinimumLength = 0x1A;
constexpr size_t kAlignment = 8;
} // namespace list_entry

// A file reference: the record number in the low six bytes, the record's
// sequence number in the high two.
namespace reference {
constexpr uint64_t kRecordMask = 0xFFFFFFFFFFFFull;
constexpr unsigned kSequenceShift = 48;
} // namespace reference

// The header byte of each pair of a run list: the low nibble is the width
// of the cluster count, the high nibble the width of the signed offset to
// the previous run's start (0: a hole). A header byte of 0 ends the list.
namespace run_header {
constexpr uint8_t kCountWidthMask = 0x0F;
constexpr unsigned kOffsetWidthShift = 4;
constexpr size_t kLargestWidth = 8;
} // namespace run_header

// Record numbers of the system files the reader uses.
namespace system_record {
constexpr int64_t kMft = 0;
constexpr int64_t kVolume = 3;  // its $VOLUME_NAME is the label
constexpr int64_t kRoot = 5;
constexpr int64_t kBitmap = 6;
// $MFTMirr holds copies of the first four records ($MFT, $MFTMirr, $LogFile, $Volume).
constexpr int64_t kMirrored = 4;
// Records below this are kept for the system's files, whether used or not.
constexpr int64_t kFirstUser = 24;
} // namespace system_record

// The update sequence: the last two bytes of every 512-byte stride of a
// record are replaced by the sequence number on disk, their own value kept
// in the array.
constexpr size_t kUpdateStride = 512;

} // namespace ntfs::layout
