// The main window's answers to the window messages: one handler per message,
// chosen in one table.
#include <QApplication>
#include <QCursor>

#include "gui/app/main_window.h"
#include "gui/app/prompt_box.h"
#include "gui/results/result_page.h"
#include "gui/settings/about_window.h"
#include "gui/settings/settings_window.h"
#include "gui/widgets/window_drag.h"
#include "scan/progress.h"
#include "scan/scan_worker.h"

namespace gui {

void TFram_UndeleteMain::Receive(const HubMessage& m) {
    switch (m.msg) {
    case kMsgCloseRequest:          OnCloseRequest(); break;
    case kMsgMinimize:              OnMinimize(); break;
    case kMsgStartPageBackground:   break;
    case kMsgNoticeAnswered:        OnNoticeAnswered(); break;
    case kMsgStopRequest:           OnStopRequest(); break;
    case kMsgScanStopped:           OnScanStopped(); break;
    case kMsgPreviewClosed:         ShowResultPage(); break;
    case kMsgBackToStart:           ShowStartPage(); break;
    case kMsgRecoverRequest:        resultPage_->AnswerRecoverRequest(); break;
    case kMsgNothingToRecover:      OnNothingToRecover(); break;
    case kMsgDragWindow:            OnDragWindow(); break;
    case kMsgStartRequest:          OnStartRequest(); break;
    case kMsgExitDuringScan:        EndProcess(); break;
    case kMsgStayOpen:              OnStayOpen(); break;
    case kMsgLeaveResults:          EndProcess(); break;
    case kMsgOpenSettings:          OnOpenSettings(); break;
    case kMsgDimming:               OnDimming(m.wparam); break;
    case kMsgRecoverOntoSource:     OnRecoverOntoSource(); break;
    case kMsgChooseOtherFolder:     OnChooseOtherFolder(); break;
    case kMsgAskStopRecovery:       OnAskStopRecovery(); break;
    case kMsgGoOnRecovering:        OnGoOnRecovering(); break;
    case kMsgStopRecovery:          OnStopRecovery(); break;
    case kMsgRecoveryFinished:      OnRecoveryFinished(); break;
    case kMsgCloseFinishedProgress: OnCloseFinishedProgress(); break;
    case kMsgOpenDestination:       OnOpenDestination(); break;
    case kMsgChooseDestination:     OnChooseDestination(); break;
    default:                        break;
    }
}

void TFram_UndeleteMain::OnCloseRequest() {
    if (progress_->FCloseAllowed) {
        if (resultPage_->isVisible()) {
            Dim();
            question_->ShowQuestion(4);
        } else {
            EndProcess();
        }
        return;
    }
    // A scan is under way: it is held where it stands while the question waits.
    if (!scanWorker_->PassIdle && !scanHeld_) {
        scanHeld_ = true;
        progress_->PauseScan();
    }
    Dim();
    question_->ShowQuestion(3);
}

void TFram_UndeleteMain::OnMinimize() { showMinimized(); }

void TFram_UndeleteMain::OnNoticeAnswered() {
    notice_->hide();
    Undim();
}

void TFram_UndeleteMain::OnNothingToRecover() { ShowNotice(4); }

void TFram_UndeleteMain::OnDragWindow() { skin::BeginWindowDrag(this, QCursor::pos()); }

void TFram_UndeleteMain::OnStayOpen() {
    question_->hide();
    if (scanHeld_) {
        scanHeld_ = false;
        progress_->ResumeScan();
    }
    Undim();
}

void TFram_UndeleteMain::OnOpenSettings() {
    Dim();
    // Modal for input, but the window thread goes on: its close undims.
    settings_ = new TFrm_RecoverySetting(this);
    settings_->setAttribute(Qt::WA_DeleteOnClose);
    connect(settings_, &QObject::destroyed, this, [this] { Undim(); });
    settings_->Open();
}

void TFram_UndeleteMain::OnDimming(uintptr_t wparam) {
    if (wparam == 0)
        Dim();
    else
        Undim();
}

} // namespace gui
