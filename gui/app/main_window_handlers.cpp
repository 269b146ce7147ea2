// The main window's answers to the window messages: one handler per message,
// chosen in one table.
#include <QApplication>
#include <QCursor>

#include "gui/app/deep_scan_offer.h"
#include "gui/app/image_search_controller.h"
#include "gui/app/main_window.h"
#include "gui/app/prompt_box.h"
#include "gui/app/recovery_controller.h"
#include "gui/app/scan_controller.h"
#include "gui/results/result_page.h"
#include "gui/settings/about_window.h"
#include "gui/settings/settings_window.h"
#include "gui/widgets/window_drag.h"
#include "scan/progress.h"
#include "scan/scan_worker.h"

namespace gui {

void TFram_UndeleteMain::Receive(const HubMessage& m) {
    switch (m.msg) {
    case Msg::CloseRequest:          OnCloseRequest(); break;
    case Msg::Minimize:              OnMinimize(); break;
    case Msg::StartPageBackground:   break;
    case Msg::NoticeAnswered:        OnNoticeAnswered(); break;
    case Msg::StopRequest:           scan_->OnStopRequest(); break;
    case Msg::ScanStopped:           scan_->OnScanStopped(); break;
    case Msg::PreviewClosed:         ShowResultPage(); break;
    case Msg::BackToStart:           ShowStartPage(); break;
    case Msg::RecoverRequest:        resultPage_->AnswerRecoverRequest(); break;
    case Msg::NothingToRecover:      OnNothingToRecover(); break;
    case Msg::DragWindow:            OnDragWindow(); break;
    case Msg::StartRequest:          scan_->OnStartRequest(); break;
    case Msg::ExitDuringScan:        EndProcess(); break;
    case Msg::StayOpen:              OnStayOpen(); break;
    case Msg::LeaveResults:          EndProcess(); break;
    case Msg::OpenSettings:          OnOpenSettings(); break;
    case Msg::Dimming:               m.Undims() ? Undim() : Dim(); break;
    case Msg::RecoverOntoSource:     recovery_->OnRecoverOntoSource(); break;
    case Msg::ChooseOtherFolder:     recovery_->OnChooseOtherFolder(); break;
    case Msg::AskStopRecovery:       recovery_->OnAskStopRecovery(); break;
    case Msg::GoOnRecovering:        recovery_->OnGoOnRecovering(); break;
    case Msg::StopRecovery:          recovery_->OnStopRecovery(); break;
    case Msg::RecoveryFinished:      recovery_->OnRecoveryFinished(); break;
    case Msg::CloseFinishedProgress: recovery_->OnCloseFinishedProgress(); break;
    case Msg::OpenDestination:       recovery_->OnOpenDestination(); break;
    case Msg::ChooseDestination:     recovery_->OnChooseDestination(); break;
    case Msg::SearchWholeImage:      imageSearch_->OnSearchWholeImage(); break;
    case Msg::StopImageSearch:       imageSearch_->OnStopImageSearch(); break;
    case Msg::ImageSearchEnded:      imageSearch_->OnImageSearchEnded(); break;
    case Msg::RestartAsAdministrator: RestartAsAdministrator(); break;
    case Msg::DeepScanWholeImage:    deepScan_->OnDeepScanWholeImage(); break;
    default:                        break;
    }
}

void TFram_UndeleteMain::OnCloseRequest() {
    if (progress_->FCloseAllowed) {
        if (resultPage_->isVisible()) {
            Dim();
            question_->ShowQuestion(Question::ExitLeavingResults);
        } else {
            EndProcess();
        }
        return;
    }
    // A scan is under way: it is held where it stands while the question waits.
    scan_->HoldForQuestion();
    Dim();
    question_->ShowQuestion(Question::ExitDuringScan);
}

void TFram_UndeleteMain::OnMinimize() { showMinimized(); }

void TFram_UndeleteMain::OnNoticeAnswered() {
    notice_->hide();
    Undim();
}

void TFram_UndeleteMain::OnNothingToRecover() { ShowNotice(Notice::NothingChecked); }

void TFram_UndeleteMain::OnDragWindow() { skin::BeginWindowDrag(this, QCursor::pos()); }

void TFram_UndeleteMain::OnStayOpen() {
    question_->hide();
    scan_->Resume();
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


} // namespace gui
