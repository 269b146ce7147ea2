#include "gui/app/recovery_controller.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>

#include "gui/app/main_window.h"
#include "gui/app/prompt_box.h"
#include "gui/common/texts.h"
#include "gui/common/trace.h"
#include "gui/recover/desktop_shell.h"
#include "gui/recover/recover_progress.h"
#include "gui/results/result_page.h"
#include "recover/destination.h"
#include "recover/recover_worker.h"
#include "scan/progress.h"
#include "scan/scan_worker.h"

namespace gui {

RecoveryController::RecoveryController(TFram_UndeleteMain& window, TFrm_Result& resultPage,
                                       TFMsgBox_RecoverSelect& question, MessageHub& hub, TUnDeleteProgress& progress,
                                       TThreadRecover& worker, TThreadScan& scanWorker, const TLanUse& language)
    : QObject(&window),
      window_(window),
      resultPage_(resultPage),
      question_(question),
      progress_(progress),
      worker_(worker),
      scanWorker_(scanWorker),
      language_(language),
      progressWindow_(new Tfrm_RecoverProgress(hub, language, progress, worker, &window)),
      folderChooser_(SystemFolderChooser()),
      folderOpener_(SystemFolderOpener()) {
    progressWindow_->hide();
}

RecoveryController::~RecoveryController() { delete progressWindow_; }

void RecoveryController::SetFolderChooser(std::unique_ptr<FolderChooser> chooser) { folderChooser_ = std::move(chooser); }

void RecoveryController::SetFolderOpener(std::unique_ptr<FolderOpener> opener) { folderOpener_ = std::move(opener); }

bool RecoveryController::HoldClose() {
    // A recovery under way is asked about as the progress window's close
    // asks; the program ends once the worker has removed its unfinished
    // file and reported the end.
    if (progress_.FRecoverIdle)
        return false;
    endAfterJob_ = true;
    const bool asking = question_.isVisible() && question_.Kind() == Question::StopRecovery;
    if (!asking && !worker_.JobDone)
        progressWindow_->RequestClose();
    return true;
}

void RecoveryController::OnChooseDestination() {
    // The files of a job under way are the worker's until it ends.
    if (!progress_.FRecoverIdle)
        return;
    window_.Dim();
    const std::optional<QString> chosen =
        folderChooser_->Choose(&window_, Tr(language_, "M_FolderBrowseReco", "Select a directory to save the recovered files."),
                               QDir::toNativeSeparators(FromUtf8(worker_.Destination)));
    if (!chosen) {
        window_.Undim();
        return;
    }
    const std::string folder = ToUtf8(QDir::toNativeSeparators(*chosen));
    worker_.PrepareJob(scanWorker_.AllFiles);
    worker_.DescribeVolumes(scanWorker_.Disks);
    worker_.KeepFolders = resultPage_.KeepFolders();
    worker_.CommandLine = ToUtf8(QCoreApplication::arguments().join(QLatin1Char(' ')));
    if (worker_.Jobs.empty()) {
        window_.ShowNotice(Notice::NothingChecked);
        return;
    }
    // The free space is that of the folder's own volume, whatever its file
    // system: a network share or a Linux file system with room will do.
    switch (CheckDestination(worker_, folder)) {
    case DestinationVerdict::Missing:     window_.ShowNotice(Notice::FolderMissing); break;
    case DestinationVerdict::ReadOnly:    window_.ShowNotice(Notice::ReadOnlyFolder); break;
    case DestinationVerdict::NoRoom:      window_.ShowNotice(Notice::NoRoom); break;
    case DestinationVerdict::SourceDrive: question_.ShowQuestion(Question::RecoverOntoSource); break;
    case DestinationVerdict::Ok:          StartRecovery(); break;
    }
}

void RecoveryController::StartRecovery() {
    qCDebug(dunroGui) << "recovery of" << worker_.Jobs.size() << "files into"
                      << FromUtf8(worker_.Destination);
    window_.Dim();
    worker_.Start();
    progressWindow_->ShowRunning();
}

void RecoveryController::OnRecoverOntoSource() {
    question_.hide();
    StartRecovery();
}

void RecoveryController::OnChooseOtherFolder() {
    question_.hide();
    OnChooseDestination();
}

void RecoveryController::OnAskStopRecovery() {
    window_.Dim();
    question_.ShowQuestion(Question::StopRecovery);
}

void RecoveryController::OnGoOnRecovering() {
    endAfterJob_ = false;
    question_.hide();
    progressWindow_->ShowAgain();
}

void RecoveryController::OnStopRecovery() {
    worker_.Stop();
    question_.hide();
}

void RecoveryController::OnRecoveryFinished() {
    // A job that ended on its own while the stop question waited needs no answer.
    if (question_.isVisible() && question_.Kind() == Question::StopRecovery)
        question_.hide();
    progressWindow_->ShowFinished();
    resultPage_.UncheckAllShown();
    progress_.FRecoverIdle = true;
    if (endAfterJob_) {
        endAfterJob_ = false;
        window_.EndProcess();
    }
}

void RecoveryController::OnCloseFinishedProgress() {
    progressWindow_->hide();
    window_.Undim();
}

void RecoveryController::OnOpenDestination() {
    progressWindow_->hide();
    const QString folder = FromUtf8(worker_.Destination);
    if (!folderOpener_->Open(QUrl::fromLocalFile(folder)))
        qCDebug(dunroGui) << "the file browser did not open" << folder;
    window_.Undim();
}

} // namespace gui
