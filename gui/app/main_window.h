#pragma once
// TFram_UndeleteMain: the program's one window of its own frame. It owns the
// program-wide objects (the selections, the progress record, the language
// table, the two workers and every other window), places the pages, dims,
// and is the receiver of the window messages, handing those of a scan to the
// scan controller and those of a recovery to the recovery controller.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "gui/common/message_hub.h"
#include "platform/elevation.h"
#include "scan/source_check.h"

class TLanUse;
struct TMyFile;
class TScanFileType;
class TScanPath;
class TThreadRecover;
class TThreadScan;
class TUnDeleteProgress;

namespace gui {

class DeepScanOffer;
class FolderChooser;
class ImageSearchController;
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
class RecoveryController;
class ScanController;

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
    void ShowNotice(Notice kind);
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
    bool ScanHeldForQuestion() const;

    void OpenAbout();
    // Brings the window to the front when a scan ended behind other windows.
    void RaiseAfterScan(bool restoreMinimized);

    // Volume images to offer as drives: the program's arguments, or those a
    // second start handed over. One that cannot be scanned is refused with
    // its notice; while the scan worker is busy they wait.
    void AddVolumeImages(const QStringList& images);
    // The scan from the window (scan_controller.h).
    ScanController& Scan() { return *scan_; }
    const ScanController& Scan() const { return *scan_; }
    // The full search of a refused image for lost volumes (image_search_controller.h).
    ImageSearchController& ImageSearch() { return *imageSearch_; }
    // The deep scan of an image with no volume to read (deep_scan_offer.h).
    DeepScanOffer& DeepScan() { return *deepScan_; }
    // Asks question 8 about `image`; `afterSearch`: its whole search found no volume.
    void OfferDeepScan(const QString& image, bool afterSearch);
    bool ScanTimerActive() const;
    bool WaitingForDriveList() const;
    // The large preview windows: pictures and texts, Word documents, and the
    // busy one that answers while the document window is still loading.
    TFrm_Preview* PicturePreview() const { return picturePreview_; }
    TFrm_Preview* DocumentPreview() const { return documentPreview_; }
    TFrm_Preview* BusyPreview() const { return busyPreview_; }
    // A row's preview button was pressed: the window for the file's kind opens.
    void OpenPreview(const TMyFile* file);

    // The recovery's progress window and the system's folder dialog and file
    // browser (recovery_controller.h); tests put their own dialog and browser in.
    Tfrm_RecoverProgress* RecoverProgress() const;
    void SetFolderChooser(std::unique_ptr<FolderChooser> chooser);
    void SetFolderOpener(std::unique_ptr<FolderOpener> opener);
    // How the process ends (SetProcessEnd).
    void EndProcess();

    // Starts the program again with administrator rights (platform/elevation.h);
    // tests put their own in.
    using ElevatedRestart =
        std::function<platform::ElevationOutcome(const std::vector<std::string>& arguments, std::string& error)>;
    void SetElevatedRestart(ElevatedRestart restart) { elevatedRestart_ = std::move(restart); }

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
    void CreatePreviewWindows();
    void DestroyPreviewWindows();


    void OnImageRefused(const QString& image, SourceVerdict verdict);
    void ShowImageRefusal();
    // The start page's "Restart as Administrator": asked first unless the
    // settings skip the question (elevated_restart.cpp).
    void OnRestartAsAdministratorRequested();
    void RestartAsAdministrator();

    std::function<void()> endProcess_;
    ElevatedRestart elevatedRestart_;
    // Images refused before the window showed, told once it shows.
    QString refusedImage_;
    QString refusedPath_;
    Notice refusedNotice_ = Notice::None;
    bool refusedForDeepScan_ = false;  // the refusal is question 8's offer
    QPoint outerPosition_;

    std::unique_ptr<MessageHub> hub_;
    std::unique_ptr<TScanFileType> types_;
    std::unique_ptr<TScanPath> paths_;
    std::unique_ptr<TUnDeleteProgress> progress_;
    std::unique_ptr<TLanUse> language_;
    std::unique_ptr<TThreadScan> scanWorker_;
    std::unique_ptr<TThreadRecover> recoverWorker_;
    ScanController* scan_ = nullptr;
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
    RecoveryController* recovery_ = nullptr;
    ImageSearchController* imageSearch_ = nullptr;
    DeepScanOffer* deepScan_ = nullptr;
};

} // namespace gui
