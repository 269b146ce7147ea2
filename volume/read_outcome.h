#pragma once
// Why a reader's list may be empty although the volume was opened: a
// structure that could not be read at all. A front end tells "could not
// read" from "nothing found" by it. Parts lost on their own (records,
// table sectors, folder clusters) are counted in ReadDamage instead.
#include <cstdint>
#include <string>

#include "volume/language.h"

namespace volume {

enum class ReadOutcome : uint8_t {
    Read,                  // every structure the listing needs was read
    BootSectorUnreadable,  // neither the boot sector nor its backup could be read or decoded
    BackupBootMissing,     // the boot sector is damaged and no backup lies where it belongs
    MftUnreadable,         // NTFS: the MFT's own record, from the MFT and from its mirror
    TableUnreadable,       // FAT: no sector of any copy of the allocation table
    RootFolderUnreadable,  // FAT: not one sector of the root folder
};

// How a reader's reading phase ended. Each failure names the structure that
// stopped it; where it matches an outcome above, OutcomeOf gives that.
enum class ReadingStatus : uint8_t {
    Done,                  // the volume was read; what it holds is listed
    Stopped,               // a stop request, low memory or the cap on files ended it early
    NotThisFileSystem,     // the boot sector is not of this reader's file system
    BootSectorUnreadable,
    BackupBootMissing,
    MftUnreadable,
    TableUnreadable,
    RootFolderUnreadable,
};

// The outcome a failed reading phase leaves; Read for Done and Stopped, and
// for NotThisFileSystem, which no scan reaches (the registry made the reader).
inline ReadOutcome OutcomeOf(ReadingStatus status) {
    switch (status) {
    case ReadingStatus::BootSectorUnreadable:
        return ReadOutcome::BootSectorUnreadable;
    case ReadingStatus::BackupBootMissing:
        return ReadOutcome::BackupBootMissing;
    case ReadingStatus::MftUnreadable:
        return ReadOutcome::MftUnreadable;
    case ReadingStatus::TableUnreadable:
        return ReadOutcome::TableUnreadable;
    case ReadingStatus::RootFolderUnreadable:
        return ReadOutcome::RootFolderUnreadable;
    case ReadingStatus::Done:
    case ReadingStatus::Stopped:
    case ReadingStatus::NotThisFileSystem:
        break;
    }
    return ReadOutcome::Read;
}

// The status of a reading phase that could not start for `outcome`.
inline ReadingStatus StatusOf(ReadOutcome outcome) {
    switch (outcome) {
    case ReadOutcome::BootSectorUnreadable:
        return ReadingStatus::BootSectorUnreadable;
    case ReadOutcome::BackupBootMissing:
        return ReadingStatus::BackupBootMissing;
    case ReadOutcome::MftUnreadable:
        return ReadingStatus::MftUnreadable;
    case ReadOutcome::TableUnreadable:
        return ReadingStatus::TableUnreadable;
    case ReadOutcome::RootFolderUnreadable:
        return ReadingStatus::RootFolderUnreadable;
    case ReadOutcome::Read:
        break;
    }
    return ReadingStatus::Done;
}

inline std::string OutcomeText(ReadOutcome outcome) {
    switch (outcome) {
    case ReadOutcome::Read:
        return {};
    case ReadOutcome::BootSectorUnreadable:
        return LangText("M_BootUnreadable", "The boot sector and its backup could not be read.");
    case ReadOutcome::BackupBootMissing:
        return LangText("M_BackupBootMissing",
                        "The boot sector is damaged and the backup boot sector is missing (the image may be cut short).");
    case ReadOutcome::MftUnreadable:
        return LangText("M_MftUnreadable", "The master file table could not be read.");
    case ReadOutcome::TableUnreadable:
        return LangText("M_FatUnreadable", "The file allocation table could not be read.");
    case ReadOutcome::RootFolderUnreadable:
        return LangText("M_RootUnreadable", "The root folder could not be read.");
    }
    return {};
}

} // namespace volume
