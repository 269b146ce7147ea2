// The main window's share of a recovery: the destination dialog and its
// checks, the answers to the boxes they raise, and the recovery progress
// window from the start of a job to its end. The main window stays dimmed
// from the dialog until the progress window is closed after the job.
#include <QDir>
#include <QUrl>

#include "gui/app/main_window.h"
#include "gui/app/prompt_box.h"
#include "gui/app/texts.h"
#include "gui/app/trace.h"
#include "gui/recover/desktop_shell.h"
#include "gui/recover/recover_progress.h"
#include "gui/results/result_page.h"
#include "recover/destination.h"
#include "recover/recover_worker.h"
#include "scan/progress.h"
#include "scan/scan_worker.h"

namespace gui {

void TFram_UndeleteMain::CreateRecoveryWindows() {
    recoverProgress_ = new Tfrm_RecoverProgress(*hub_, *language_, *progress_, *recoverWorker_, this);
    recoverProgress_->hide();
    folderChooser_ = SystemFolderChooser();
    folderOpener_ = SystemFolderOpener();
}

void TFram_UndeleteMain::SetFolderChooser(std::unique_ptr<FolderChooser> chooser) { folderChooser_ = std::move(chooser); }

void TFram_UndeleteMain::SetFolderOpener(std::unique_ptr<FolderOpener> opener) { folderOpener_ = std::move(opener); }

void TFram_UndeleteMain::OnChooseDestination() {
    // The files of a job under way are the worker's until it ends.
    if (!progress_->FRecoverIdle)
        return;
    Dim();
    const std::optional<QString> chosen =
        folderChooser_->Choose(this, Tr(*language_, "M_FolderBrowseReco", "Select a directory to save the recovered files."),
                               QDir::toNativeSeparators(FromUtf8(recoverWorker_->Destination)));
    if (!chosen) {
        Undim();
        return;
    }
    const std::string folder = ToUtf8(QDir::toNativeSeparators(*chosen));
    recoverWorker_->PrepareJob(scanWorker_->AllFiles);
    if (recoverWorker_->Jobs.empty()) {
        ShowNotice(4);
        return;
    }
    // The free space is that of the folder's own volume, whatever its file
    // system: a network share or a Linux file system with room will do.
    switch (CheckDestination(*recoverWorker_, folder)) {
    case DestinationVerdict::Missing:     ShowNotice(5); break;
    case DestinationVerdict::ReadOnly:    ShowNotice(7); break;
    case DestinationVerdict::NoRoom:      ShowNotice(6); break;
    case DestinationVerdict::SourceDrive: question_->ShowQuestion(1); break;
    case DestinationVerdict::Ok:          StartRecovery(); break;
    }
}

void TFram_UndeleteMain::StartRecovery() {
    qCDebug(dunroGui) << "recovery of" << recoverWorker_->Jobs.size() << "files into"
                      << FromUtf8(recoverWorker_->Destination);
    Dim();
    recoverWorker_->Start();
    recoverProgress_->ShowRunning();
}

void TFram_UndeleteMain::OnRecoverOntoSource() {
    question_->hide();
    StartRecovery();
}

void TFram_UndeleteMain::OnChooseOtherFolder() {
    question_->hide();
    OnChooseDestination();
}

void TFram_UndeleteMain::OnAskStopRecovery() {
    Dim();
    question_->ShowQuestion(2);
}

void TFram_UndeleteMain::OnGoOnRecovering() {
    question_->hide();
    recoverProgress_->ShowAgain();
}

void TFram_UndeleteMain::OnStopRecovery() {
    recoverWorker_->Stop();
    question_->hide();
}

void TFram_UndeleteMain::OnRecoveryFinished() {
    // A job that ended on its own while the stop question waited needs no answer.
    if (question_->isVisible() && question_->Kind() == 2)
        question_->hide();
    recoverProgress_->ShowFinished();
    resultPage_->UncheckAllShown();
    progress_->FRecoverIdle = true;
}

void TFram_UndeleteMain::OnCloseFinishedProgress() {
    recoverProgress_->hide();
    Undim();
}

void TFram_UndeleteMain::OnOpenDestination() {
    recoverProgress_->hide();
    const QString folder = FromUtf8(recoverWorker_->Destination);
    if (!folderOpener_->Open(QUrl::fromLocalFile(folder)))
        qCDebug(dunroGui) << "the file browser did not open" << folder;
    Undim();
}

} // namespace gui
