#pragma once
// The window messages of the program: every number the windows and the
// workers exchange through the hub, by name. The workers' two numbers come
// from the core (scan/message_sink.h).
#include "scan/message_sink.h"

namespace gui {

enum : unsigned {
    kMsgCloseRequest = 1025,           // 0x401 close buttons of the pages (post)
    kMsgMinimize = 1026,               // 0x402 minimize buttons of the pages (post)
    kMsgStartPageBackground = 1029,    // 0x405 the start page's background (ignored)
    kMsgNoticeAnswered = 1033,         // 0x409 notice 1-5: lParam 1 OK, 0 close (post)
    kMsgStopRequest = 1036,            // 0x40C scan button while a scan runs (post)
    // 1037 kMsgScanStopped: the scan worker, a stopped pass has ended (post)
    kMsgPreviewClosed = 1041,          // 0x411 a large preview window closed (send)
    kMsgBackToStart = 1042,            // 0x412 the result page's Back (post)
    kMsgRecoverRequest = 1043,         // 0x413 recover request of the result page
    kMsgNothingToRecover = 1047,       // 0x417 recover request with no file checked (post)
    kMsgRecoverOntoSource = 1050,      // 0x41A question 1, YES (post)
    kMsgChooseOtherFolder = 1051,      // 0x41B question 1, NO or close (post)
    kMsgAskStopRecovery = 1056,        // 0x420 progress window closed while a job runs (send)
    kMsgGoOnRecovering = 1057,         // 0x421 question 2, NO or close (post)
    kMsgStopRecovery = 1058,           // 0x422 question 2, YES (post)
    // 1059 kMsgRecoveryFinished: the recovery worker, a job has ended (post)
    kMsgCloseFinishedProgress = 1062,  // 0x426 progress window closed after the job (send)
    kMsgOpenDestination = 1063,        // 0x427 progress window's OK after the job (send)
    kMsgChooseDestination = 1064,      // 0x428 recover with files checked; notice 6, 7 (post)
    kMsgDragWindow = 1070,             // 0x42E press on a page's title image (send)
    kMsgStartRequest = 1071,           // 0x42F scan button when no scan runs (post)
    kMsgExitDuringScan = 1073,         // 0x431 question 3, YES (post)
    kMsgStayOpen = 1074,               // 0x432 questions 3 and 4, NO or close (post)
    kMsgLeaveResults = 1075,           // 0x433 question 4 YES; question 5 to the result page (post)
    kMsgOpenSettings = 1076,           // 0x434 the pages' "Settings…" menu item (post)
    kMsgDimming = 1077,                // 0x435 wParam 0 dim, otherwise undim (send)
};

} // namespace gui
