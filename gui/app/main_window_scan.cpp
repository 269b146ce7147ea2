// The main window's side of a scan: the start request with its wait for the
// drive list, the stop request, the scanning timer that drives the start
// page's progress and notices the end, and the end of a scan.
#include <QApplication>
#include <QFileInfo>

#include "gui/app/main_window.h"
#include "gui/app/prompt_box.h"
#include "gui/app/texts.h"
#include "gui/app/trace.h"
#include "gui/results/result_page.h"
#include "gui/start/start_page.h"
#include "scan/memory_guard.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "scan/scan_worker.h"

namespace gui {

namespace {
constexpr int kMaxInitSteps = 5;
constexpr qint64 kCaptionPeriodMs = 1000;
constexpr qint64 kStepPeriodMs = 2000;
// How long the window thread waits for a worker that has flagged its pass
// finished to return from it (a few instructions in practice).
constexpr uint32_t kWorkerSettleMs = 5000;
} // namespace

void TFram_UndeleteMain::OnStartRequest() {
    if (!types_->AnySelected()) {
        ShowNotice(1);
        startPage_->Reset();
        starting_ = false;
        return;
    }
    starting_ = true;
    startPage_->MarkScanRequest();
    if (startPage_->Chooser()->DriveListReady()) {
        progress_->FPercentFloor = 0;
        ContinueStart();
        return;
    }
    // The drives are still being examined: wait with the window responsive,
    // counting up slowly so that something moves.
    initSteps_ = 0;
    initDots_ = 0;
    initClock_.start();
    lastCaptionAt_ = lastStepAt_ = -kStepPeriodMs;
    initWait_.start();
}

void TFram_UndeleteMain::OnInitializingTick() {
    const qint64 now = initClock_.elapsed();
    if (now - lastCaptionAt_ >= kCaptionPeriodMs) {
        initDots_ = initDots_ % 3 + 1;
        initCaption_ = Tr(*language_, "M_Initializing", "Initializing") + QString(initDots_, QLatin1Char('.'));
        lastCaptionAt_ = now;
    }
    if (now - lastStepAt_ >= kStepPeriodMs) {
        initSteps_ = std::min(initSteps_ + 1, kMaxInitSteps);
        lastStepAt_ = now;
    }
    startPage_->PrepareForScanning(true);
    startPage_->ShowProgress(initSteps_, initCaption_);
    if (!startPage_->ScanRequested()) {
        // The button was pressed again: no scan.
        initWait_.stop();
        startPage_->ScanEnded();
        startPage_->Reset();
        progress_->FCloseAllowed = true;
        progress_->FPercentFloor = initSteps_;
        ContinueStart();
        return;
    }
    if (startPage_->Chooser()->DriveListReady()) {
        initWait_.stop();
        progress_->FPercentFloor = initSteps_;
        ContinueStart();
    }
}

void TFram_UndeleteMain::ContinueStart() {
    if (startPage_->ScanRequested()) {
        startPage_->Chooser()->CollectScanPaths();
        if (paths_->DriverCount() == 0) {
            startPage_->Reset();
            ShowNotice(2);
        } else if (types_->AnySelected()) {
            Undim();
            startPage_->PrepareForScanning(true);
            scanningTimer_.start();
            progress_->FScanIdle = false;
            // A worker that flagged its last pass finished may still be on its
            // way out of it; a new job must not meet it there.
            scanWorker_->WaitUntilIdleFor(kWorkerSettleMs);
            scanRunning_ = true;
            scanWorker_->StartScan();
            qCDebug(dunroGui) << "scan started on" << paths_->DriverCount() << "drives";
        } else {
            startPage_->Reset();
            ShowNotice(1);
        }
    }
    starting_ = false;
    startPage_->ClearScanRequest();
}

void TFram_UndeleteMain::OnStopRequest() {
    if (starting_) {
        starting_ = false;
        return;
    }
    scanWorker_->StopCurrentDisk();
    scanWorker_->PassIdle = true;
    progress_->FScanCancelled = true;
}

void TFram_UndeleteMain::OnScanningTick() {
    // Held by the close question: nothing moves until it is answered.
    if (progress_->ScanPaused())
        return;
    TUnDeleteProgress& p = *progress_;
    GuardScanMemory(p, *scanWorker_);
    if (p.FScanCancelled && p.FScanFinished) {
        EndScan();
        return;
    }
    const double percent = p.ScanPercent();
    const int readWeight = p.FReadWeight;
    if (percent <= readWeight) {
        startPage_->ShowScanProgress(percent < readWeight ? static_cast<int>(percent) : readWeight - 1);
        return;
    }
    if (p.FFoundCount < p.FSmallResult) {
        // Few files: the shown percent climbs at a steady pace to 99.
        p.StepShownPercent(2);
        const int shown = static_cast<int>(double(p.FShownPercent));
        startPage_->ShowScanProgress(shown);
        if (shown == 99 && p.FScanFinished)
            EndScan();
        return;
    }
    startPage_->ShowScanProgress(static_cast<int>(p.ScanPercent()));
    if (p.FScanFinished)
        EndScan();
}

void TFram_UndeleteMain::OnScanStopped() {
    // The report may come after the timer has ended the pass, even after a
    // new scan began; that scan has neither flag set, so it runs on.
    if (progress_->FScanFinished && progress_->FScanCancelled)
        EndScan();
}

void TFram_UndeleteMain::EndScan() {
    // The timer and the worker's message may both end one scan.
    if (!scanRunning_)
        return;
    scanRunning_ = false;
    scanningTimer_.stop();
    scanWorker_->WaitUntilIdleFor(kWorkerSettleMs);
    TUnDeleteProgress& p = *progress_;
    bool noticeShown = false;
    if (p.FResultCount > 0) {
        resultPage_->LoadResults();
        p.FScanIdle = true;
        p.FCloseAllowed = true;
        RaiseAfterScan(true);
        ShowResultPage();
    } else {
        p.FScanIdle = true;
        RaiseAfterScan(false);
        p.FCloseAllowed = true;
        // A scan the user stopped ends quietly; one that ran out of memory does not.
        if (!p.FScanCancelled || p.FLowMemory) {
            ShowNotice(3);
            noticeShown = true;
        }
    }
    p.MarkComplete();
    startPage_->ShowScanProgress(100);
    startPage_->ScanEnded();
    // The page is ready for the next scan at once.
    startPage_->Reset();
    question_->hide();
    if (scanHeld_) {
        scanHeld_ = false;
        p.ResumeScan();
    }
    if (!noticeShown)
        Undim();
    qCDebug(dunroGui) << "scan ended:" << uint32_t(p.FResultCount) << "files";
}

void TFram_UndeleteMain::RaiseAfterScan(bool restoreMinimized) {
    if (isActiveWindow() && !isMinimized())
        return;
    if (restoreMinimized && isMinimized())
        RestoreFromSecondStart();
    raise();
    activateWindow();
}

void TFram_UndeleteMain::AddVolumeImages(const QStringList& images) {
    for (const QString& image : images)
        startPage_->Chooser()->AddVolumeImage(image);
}

void TFram_UndeleteMain::OnImageRefused(const QString& image, SourceVerdict verdict) {
    refusedImage_ = QFileInfo(image).fileName();
    if (refusedImage_.isEmpty())
        refusedImage_ = image;
    const bool noVolume = verdict == SourceVerdict::OtherFileSystem || verdict == SourceVerdict::Fat12 ||
                          verdict == SourceVerdict::Fat16;
    refusedNotice_ = noVolume ? kNoticeImageNoVolume : kNoticeImageUnreadable;
    if (isVisible())
        ShowImageRefusal();
}

void TFram_UndeleteMain::ShowImageRefusal() {
    if (refusedNotice_ == 0)
        return;
    const int kind = refusedNotice_;
    refusedNotice_ = 0;
    ShowNotice(kind);
}

} // namespace gui
