#pragma once
// The window messages of the program, by name, with their window-message
// numbers as values; and the kinds of the question and notice boxes. The
// workers' two numbers come from the core (scan/message_sink.h).
#include "scan/message_sink.h"

namespace gui {

enum class Msg : unsigned {
    CloseRequest = 1025,           // 0x401 close buttons of the pages (post)
    Minimize = 1026,               // 0x402 minimize buttons of the pages (post)
    StartPageBackground = 1029,    // 0x405 the start page's background (ignored)
    NoticeAnswered = 1033,         // 0x409 a notice's OK or close (post; payload: NoticeOk)
    StopRequest = 1036,            // 0x40C scan button while a scan runs (post)
    ScanStopped = kMsgScanStopped, // 0x40D the scan worker: a stopped pass has ended (post)
    PreviewClosed = 1041,          // 0x411 a large preview window closed (send)
    BackToStart = 1042,            // 0x412 the result page's Back (post)
    RecoverRequest = 1043,         // 0x413 recover request of the result page
    NothingToRecover = 1047,       // 0x417 recover request with no file checked (post)
    RecoverOntoSource = 1050,      // 0x41A question 1, YES (post)
    ChooseOtherFolder = 1051,      // 0x41B question 1, NO or close (post)
    AskStopRecovery = 1056,        // 0x420 progress window closed while a job runs (send)
    GoOnRecovering = 1057,         // 0x421 question 2, NO or close (post)
    StopRecovery = 1058,           // 0x422 question 2, YES (post)
    RecoveryFinished = kMsgRecoveryFinished,  // 0x423 the recovery worker: a job has ended (post)
    CloseFinishedProgress = 1062,  // 0x426 progress window closed after the job (send)
    OpenDestination = 1063,        // 0x427 progress window's OK after the job (send)
    ChooseDestination = 1064,      // 0x428 recover with files checked; notices 6, 7 (post)
    DragWindow = 1070,             // 0x42E press on a page's title image (send)
    StartRequest = 1071,           // 0x42F scan button when no scan runs (post)
    ExitDuringScan = 1073,         // 0x431 question 3, YES (post)
    StayOpen = 1074,               // 0x432 questions 3, 4, 6, 7 and 8, NO or close (post)
    LeaveResults = 1075,           // 0x433 question 4 YES; question 5 to the result page (post; payload: Yes)
    OpenSettings = 1076,           // 0x434 the pages' "Settings…" menu item (post)
    Dimming = 1077,                // 0x435 dim or undim the main window (send; payload: Undims)
    SearchWholeImage = 1078,       // 0x436 question 6, YES: search the refused image whole (post)
    StopImageSearch = 1079,        // 0x437 the image search's Stop, close or Esc (post)
    ImageSearchEnded = kMsgPartitionSearchEnded,  // 0x438 the scan worker: the image search has ended (post)
    RestartAsAdministrator = 1081, // 0x439 question 7, YES: start again with administrator rights (post)
    DeepScanWholeImage = 1082,     // 0x43A question 8, YES: search the refused image by file content (post)
};

// The question box's kinds (YES and NO).
enum class Question : int {
    None = 0,
    RecoverOntoSource = 1,   // the folder lies on a drive the files come from
    StopRecovery = 2,        // the recovery's STOP or close
    ExitDuringScan = 3,      // the close button while a scan runs
    ExitLeavingResults = 4,  // the close button on the result page
    BackLeavingResults = 5,  // the result page's Back, answered to the page
    SearchWholeImage = 6,    // an image with nothing readable where volumes usually start
    RestartAsAdministrator = 7,  // raw drives refused for want of administrator rights (Windows)
    DeepScanWholeImage = 8,  // an image with no volume to read, even after a search of the whole image
};

// The notice box's kinds (one OK).
enum class Notice : int {
    None = 0,
    NoTypeChosen = 1,
    NoPlaceChosen = 2,
    NothingFound = 3,
    NothingChecked = 4,
    FolderMissing = 5,
    NoRoom = 6,
    ReadOnlyFolder = 7,
    ImageNoVolume = 8,  // a disk image that holds neither NTFS, FAT nor exFAT
    ImageUnreadable = 9,
    ScanUnreadable = 10,  // a scan that found nothing where it could not read everything
    ImageNothingFound = 11,  // the whole image was searched and held no volume
};

} // namespace gui
