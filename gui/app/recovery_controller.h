#pragma once
// A recovery from the window, from Recover to the progress window's close:
// the destination dialog and its checks, the answers to the boxes they
// raise, the recovery progress window from the start of a job to its end,
// and a close of the main window while a job runs. The main window stays
// dimmed from the dialog until the progress window is closed after the job.
#include <QObject>

#include <memory>

class TLanUse;
class TThreadRecover;
class TThreadScan;
class TUnDeleteProgress;

namespace gui {

class FolderChooser;
class FolderOpener;
class MessageHub;
class TFMsgBox_RecoverSelect;
class TFram_UndeleteMain;
class TFrm_Result;
class Tfrm_RecoverProgress;

class RecoveryController : public QObject {
    Q_OBJECT
public:
    RecoveryController(TFram_UndeleteMain& window, TFrm_Result& resultPage, TFMsgBox_RecoverSelect& question,
                       MessageHub& hub, TUnDeleteProgress& progress, TThreadRecover& worker, TThreadScan& scanWorker,
                       const TLanUse& language);
    ~RecoveryController() override;

    // The messages of a recovery.
    void OnChooseDestination();
    void OnRecoverOntoSource();
    void OnChooseOtherFolder();
    void OnAskStopRecovery();
    void OnGoOnRecovering();
    void OnStopRecovery();
    void OnRecoveryFinished();
    void OnCloseFinishedProgress();
    void OnOpenDestination();

    // The main window is being closed: while a job runs, asks question 2 and
    // ends the program with the job (true); else false, and the close goes on.
    bool HoldClose();

    Tfrm_RecoverProgress* ProgressWindow() const { return progressWindow_; }
    // The system's folder dialog and file browser; tests put their own in.
    void SetFolderChooser(std::unique_ptr<FolderChooser> chooser);
    void SetFolderOpener(std::unique_ptr<FolderOpener> opener);

private:
    void StartRecovery();

    TFram_UndeleteMain& window_;
    TFrm_Result& resultPage_;
    TFMsgBox_RecoverSelect& question_;
    TUnDeleteProgress& progress_;
    TThreadRecover& worker_;
    TThreadScan& scanWorker_;
    const TLanUse& language_;
    Tfrm_RecoverProgress* progressWindow_;
    std::unique_ptr<FolderChooser> folderChooser_;
    std::unique_ptr<FolderOpener> folderOpener_;
    // The window was closed during a recovery: the program ends with the job.
    bool endAfterJob_ = false;
};

} // namespace gui
