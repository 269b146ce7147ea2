#include "gui/app/scan_controller.h"

#include "gui/app/main_window.h"
#include "gui/app/prompt_box.h"
#include "gui/common/texts.h"
#include "gui/common/trace.h"
#include "gui/results/result_page.h"
#include "gui/start/start_page.h"
#include "results/view_texts.h"
#include "scan/memory_guard.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "scan/scan_worker.h"
#include "shell/language.h"

namespace gui {

namespace {
constexpr int kMaxInitSteps = 5;
constexpr qint64 kCaptionPeriodMs = 1000;
constexpr qint64 kStepPeriodMs = 2000;
// How long the window thread waits for a worker that has flagged its pass
// finished to return from it (a few instructions in practice).
constexpr uint32_t kWorkerSettleMs = 5000;
} // namespace

ScanController::ScanController(TFram_UndeleteMain& window, TFrm_Choose& startPage, TFrm_Result& resultPage,
                               TFMsgBox_RecoverSelect& question, TUnDeleteProgress& progress, TScanFileType& types,
                               TScanPath& paths, TThreadScan& worker, const TLanUse& language)
    : QObject(&window),
      window_(window),
      startPage_(startPage),
      resultPage_(resultPage),
      question_(question),
      progress_(progress),
      types_(types),
      paths_(paths),
      worker_(worker),
      language_(language) {
    timer_.setInterval(50);
    connect(&timer_, &QTimer::timeout, this, &ScanController::OnScanningTick, Qt::UniqueConnection);
    wait_.setInterval(100);
    connect(&wait_, &QTimer::timeout, this, &ScanController::OnInitializingTick, Qt::UniqueConnection);
}

void ScanController::OnStartRequest() {
    if (!types_.AnySelected()) {
        window_.ShowNotice(Notice::NoTypeChosen);
        startPage_.Reset();
        starting_ = false;
        return;
    }
    starting_ = true;
    startPage_.MarkScanRequest();
    if (startPage_.Chooser()->DriveListReady()) {
        progress_.FPercentFloor = 0;
        ContinueStart();
        return;
    }
    // The drives are still being examined: wait with the window responsive,
    // counting up slowly so that something moves.
    waitSteps_ = 0;
    waitDots_ = 0;
    waitClock_.start();
    lastCaptionAt_ = lastStepAt_ = -kStepPeriodMs;
    wait_.start();
}

void ScanController::OnInitializingTick() {
    ++ticksHandled_;
    const qint64 now = waitClock_.elapsed();
    if (now - lastCaptionAt_ >= kCaptionPeriodMs) {
        waitDots_ = waitDots_ % 3 + 1;
        waitCaption_ = Tr(language_, "M_Initializing", "Initializing") + QString(waitDots_, QLatin1Char('.'));
        lastCaptionAt_ = now;
    }
    if (now - lastStepAt_ >= kStepPeriodMs) {
        waitSteps_ = std::min(waitSteps_ + 1, kMaxInitSteps);
        lastStepAt_ = now;
    }
    startPage_.PrepareForScanning(true);
    startPage_.ShowProgress(waitSteps_, waitCaption_);
    if (!startPage_.ScanRequested()) {
        // The button was pressed again: no scan.
        wait_.stop();
        startPage_.ScanEnded();
        startPage_.Reset();
        progress_.FCloseAllowed = true;
        progress_.FPercentFloor = waitSteps_;
        ContinueStart();
        return;
    }
    if (startPage_.Chooser()->DriveListReady()) {
        wait_.stop();
        progress_.FPercentFloor = waitSteps_;
        ContinueStart();
    }
}

void ScanController::ContinueStart() {
    if (startPage_.ScanRequested()) {
        startPage_.Chooser()->CollectScanPaths();
        if (paths_.DriverCount() == 0) {
            startPage_.Reset();
            window_.ShowNotice(Notice::NoPlaceChosen);
        } else if (types_.AnySelected()) {
            window_.Undim();
            startPage_.PrepareForScanning(true);
            timer_.start();
            progress_.FScanIdle = false;
            // A worker that flagged its last pass finished may still be on its
            // way out of it; a new job must not meet it there.
            worker_.WaitUntilIdleFor(kWorkerSettleMs);
            worker_.DeepScan = startPage_.DeepScan();
            // The chooser lists an image's partitions; a deep scan of them
            // also searches what lies between and after them.
            if (worker_.DeepScan && !worker_.Busy())
                for (const std::string& gap : worker_.ListUnpartitionedSpace())
                    if (!paths_.HasDriver(gap)) {
                        paths_.AddDriver(gap);
                        paths_.AddWholeDriver(gap);
                    }
            scanRunning_ = true;
            worker_.StartScan();
            qCDebug(dunroGui) << "scan started on" << paths_.DriverCount() << "drives";
        } else {
            startPage_.Reset();
            window_.ShowNotice(Notice::NoTypeChosen);
        }
    }
    starting_ = false;
    startPage_.ClearScanRequest();
}

void ScanController::OnStopRequest() {
    if (starting_) {
        starting_ = false;
        return;
    }
    worker_.StopCurrentDisk();
    worker_.PassIdle = true;
    progress_.FScanCancelled = true;
}

void ScanController::OnScanningTick() {
    ++ticksHandled_;
    // Held by the close question: nothing moves until it is answered.
    if (progress_.ScanPaused())
        return;
    TUnDeleteProgress& p = progress_;
    GuardScanMemory(p, worker_);
    if (p.FScanCancelled && p.FScanFinished) {
        EndScan();
        return;
    }
    const double percent = p.ScanPercent();
    const int readWeight = p.FReadWeight;
    if (percent <= readWeight) {
        startPage_.ShowScanProgress(percent < readWeight ? static_cast<int>(percent) : readWeight - 1);
        return;
    }
    if (p.FFoundCount < p.FSmallResult) {
        // Few files: the shown percent climbs at a steady pace to 99.
        p.StepShownPercent(2);
        const int shown = static_cast<int>(double(p.FShownPercent));
        startPage_.ShowScanProgress(shown);
        if (shown == 99 && p.FScanFinished)
            EndScan();
        return;
    }
    startPage_.ShowScanProgress(static_cast<int>(p.ScanPercent()));
    if (p.FScanFinished)
        EndScan();
}

void ScanController::OnScanStopped() {
    // The report may come after the timer has ended the pass, even after a
    // new scan began; that scan has neither flag set, so it runs on.
    if (progress_.FScanFinished && progress_.FScanCancelled)
        EndScan();
}

void ScanController::EndScan() {
    // The timer and the worker's message may both end one scan.
    if (!scanRunning_)
        return;
    scanRunning_ = false;
    timer_.stop();
    worker_.WaitUntilIdleFor(kWorkerSettleMs);
    TUnDeleteProgress& p = progress_;
    bool noticeShown = false;
    if (p.FResultCount > 0) {
        resultPage_.LoadResults();
        p.FScanIdle = true;
        p.FCloseAllowed = true;
        window_.RaiseAfterScan(true);
        window_.ShowResultPage();
    } else {
        p.FScanIdle = true;
        window_.RaiseAfterScan(false);
        p.FCloseAllowed = true;
        // A scan the user stopped ends quietly; one that ran out of memory does not,
        // nor one that could not read what it looked at.
        if (!p.FScanCancelled || p.FLowMemory) {
            window_.ShowNotice(results::ScanDamageText(worker_.Disks).empty() ? Notice::NothingFound
                                                                              : Notice::ScanUnreadable);
            noticeShown = true;
        }
    }
    p.MarkComplete();
    startPage_.ShowScanProgress(100);
    startPage_.ScanEnded();
    // The page is ready for the next scan at once.
    startPage_.Reset();
    question_.hide();
    if (held_) {
        held_ = false;
        p.ResumeScan();
    }
    if (!noticeShown)
        window_.Undim();
    qCDebug(dunroGui) << "scan ended:" << uint32_t(p.FResultCount) << "files";
}

void ScanController::HoldForQuestion() {
    if (!worker_.PassIdle && !held_) {
        held_ = true;
        progress_.PauseScan();
    }
}

void ScanController::Resume() {
    if (held_) {
        held_ = false;
        progress_.ResumeScan();
    }
}

} // namespace gui
