#pragma once
// TFram_UndeleteMain: the program's one window of its own frame. It owns the
// program-wide objects (the selections, the progress record, the language
// table, the two workers and every other window), hosts the pages, and is
// the receiver of the window messages.
#include <functional>
#include <memory>

#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "gui/app/message_hub.h"
#include "volume/source_check.h"

class TLanUse;
struct TMyFile;
class TScanFileType;
class TScanPath;
class TThreadRecover;
class TThreadScan;
class TUnDeleteProgress;

namespace gui {

class FolderChooser;
class FolderOpener;
class TFMsgBox_RecoverSelect;
class TFMsgBox_ScanRecoHelp;
class TFrm_About;
class TFrm_Choose;
class TFrm_Mask;
class TFrm_Preview;
class TFrm_RecoverySetting;
class TFrm_Result;
class Tfrm_RecoverProgress;

class TFram_UndeleteMain : public QWidget, public HubReceiver {
    Q_OBJECT
public:
    static constexpr int kWidth = 960;
    static constexpr int kHeight = 660;

    TFram_UndeleteMain();
    ~TFram_UndeleteMain() override;

    // The one place where each message has its handler.
    void Receive(const HubMessage& message) override;

    void Dim();
    void Undim();
    bool Dimmed() const;
    void ShowStartPage();
    void ShowResultPage();
    // Dims and shows notice `kind`.
    void ShowNotice(int kind);
    // A second start of the program asked for this window: restore it to
    // 960 × 660 and bring it to the front.
    void RestoreFromSecondStart();

    // How the process ends (exit code 0 at once, workers not waited for);
    // tests put their own in.
    void SetProcessEnd(std::function<void()> end) { endProcess_ = std::move(end); }

    MessageHub& Hub() { return *hub_; }
    TLanUse& Language() { return *language_; }
    TUnDeleteProgress& Progress() { return *progress_; }
    TScanFileType& TypeSelection() { return *types_; }
    TScanPath& LocationSelection() { return *paths_; }
    TThreadScan& ScanWorker() { return *scanWorker_; }
    TThreadRecover& RecoverWorker() { return *recoverWorker_; }
    TFrm_Choose* StartPage() const { return startPage_; }
    TFrm_Result* ResultPage() const { return resultPage_; }
    TFrm_Mask* Mask() const { return mask_; }
    TFMsgBox_RecoverSelect* QuestionBox() const { return question_; }
    TFMsgBox_ScanRecoHelp* NoticeBox() const { return notice_; }
    TFrm_RecoverySetting* SettingsWindow() const;
    TFrm_About* AboutWindow() const;
    // The outer top-left corner, kept up to date for the floating windows.
    QPoint OuterPosition() const { return outerPosition_; }
    // Whether a close request found the scan running and holds it.
    bool ScanHeldForQuestion() const { return scanHeld_; }

    void OpenAbout();

    // Volume images to offer as drives (the program's arguments); call before show.
    void AddVolumeImages(const QStringList& images);
    // The scanning timer runs from the start of a scan to its end.
    bool ScanTimerActive() const { return scanningTimer_.isActive(); }
    // The start waits for the drive list before the scan can begin.
    bool WaitingForDriveList() const { return initWait_.isActive(); }
    // The large preview windows: pictures and texts, Word documents, and the
    // busy one that answers while the document window is still loading.
    TFrm_Preview* PicturePreview() const { return picturePreview_; }
    TFrm_Preview* DocumentPreview() const { return documentPreview_; }
    TFrm_Preview* BusyPreview() const { return busyPreview_; }
    // A row's preview button was pressed: the window for the file's kind opens.
    void OpenPreview(const TMyFile* file);

    // The recovery's windows and the system's folder dialog and file browser
    // (main_window_recover.cpp); tests put their own dialog and browser in.
    Tfrm_RecoverProgress* RecoverProgress() const { return recoverProgress_; }
    void SetFolderChooser(std::unique_ptr<FolderChooser> chooser);
    void SetFolderOpener(std::unique_ptr<FolderOpener> opener);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Handlers, one per message.
    void OnCloseRequest();
    void OnMinimize();
    void OnNoticeAnswered();
    void OnStopRequest();
    void OnNothingToRecover();
    void OnDragWindow();
    void OnStayOpen();
    void OnOpenSettings();
    void OnDimming(uintptr_t wparam);
    void EndProcess();
    void CreatePreviewWindows();
    void DestroyPreviewWindows();
    // The recovery's handlers (main_window_recover.cpp).
    void CreateRecoveryWindows();
    void OnChooseDestination();
    void OnRecoverOntoSource();
    void OnChooseOtherFolder();
    void OnAskStopRecovery();
    void OnGoOnRecovering();
    void OnStopRecovery();
    void OnRecoveryFinished();
    void OnCloseFinishedProgress();
    void OnOpenDestination();
    void StartRecovery();

    // The scan from the window: the start request, the wait for the drive
    // list, the scanning timer, and the end of a scan.
    void OnStartRequest();
    void OnInitializingTick();
    void ContinueStart();
    void OnScanningTick();
    void OnScanStopped();
    void EndScan();
    // Brings the window to the front when a scan ended behind other windows.
    void RaiseAfterScan(bool restoreMinimized);
    void OnImageRefused(const QString& image, SourceVerdict verdict);
    void ShowImageRefusal();

    std::function<void()> endProcess_;
    bool starting_ = false;
    bool scanHeld_ = false;
    // A scan was started and EndScan has not yet run for it.
    bool scanRunning_ = false;
    QTimer scanningTimer_;  // Timer_Scaning
    // The wait for the drive list: its clock, the step shown, the dots.
    QTimer initWait_;
    QElapsedTimer initClock_;
    int initSteps_ = 0;
    int initDots_ = 0;
    qint64 lastCaptionAt_ = 0;
    qint64 lastStepAt_ = 0;
    QString initCaption_;
    // Images refused before the window showed, told once it shows.
    QString refusedImage_;
    int refusedNotice_ = 0;
    QPoint outerPosition_;

    std::unique_ptr<MessageHub> hub_;
    std::unique_ptr<TScanFileType> types_;
    std::unique_ptr<TScanPath> paths_;
    std::unique_ptr<TUnDeleteProgress> progress_;
    std::unique_ptr<TLanUse> language_;
    std::unique_ptr<TThreadScan> scanWorker_;
    std::unique_ptr<TThreadRecover> recoverWorker_;
    TFrm_Choose* startPage_ = nullptr;
    TFrm_Result* resultPage_ = nullptr;
    TFrm_Mask* mask_ = nullptr;
    TFMsgBox_RecoverSelect* question_ = nullptr;
    TFMsgBox_ScanRecoHelp* notice_ = nullptr;
    TFrm_Preview* picturePreview_ = nullptr;
    TFrm_Preview* documentPreview_ = nullptr;
    TFrm_Preview* busyPreview_ = nullptr;
    QPointer<TFrm_RecoverySetting> settings_;
    QPointer<TFrm_About> about_;
    Tfrm_RecoverProgress* recoverProgress_ = nullptr;
    std::unique_ptr<FolderChooser> folderChooser_;
    std::unique_ptr<FolderOpener> folderOpener_;
};

} // namespace gui
