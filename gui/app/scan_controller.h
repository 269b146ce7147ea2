#pragma once
// The scan from the window, from SCAN to the end: the start request with its
// wait for the drive list, the stop request, the scanning timer that drives
// the start page's progress and notices the end, the hold while the close
// question waits, and the end of a scan. The main window hands it the
// messages of a scan and places the pages it asks for.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class TLanUse;
class TScanFileType;
class TScanPath;
class TThreadScan;
class TUnDeleteProgress;

namespace gui {

class TFMsgBox_RecoverSelect;
class TFram_UndeleteMain;
class TFrm_Choose;
class TFrm_Result;

class ScanController : public QObject {
    Q_OBJECT
public:
    ScanController(TFram_UndeleteMain& window, TFrm_Choose& startPage, TFrm_Result& resultPage,
                   TFMsgBox_RecoverSelect& question, TUnDeleteProgress& progress, TScanFileType& types,
                   TScanPath& paths, TThreadScan& worker, const TLanUse& language);

    // The messages of a scan.
    void OnStartRequest();
    void OnStopRequest();
    void OnScanStopped();
    // The close question is about to be asked: a running scan is held where
    // it stands until the question is answered.
    void HoldForQuestion();
    // The question was answered NO: a held scan goes on.
    void Resume();

    bool Held() const { return held_; }
    // A scan was started and has not yet ended: the worker owns the drives.
    bool Running() const { return scanRunning_; }
    // The scanning timer runs from the start of a scan to its end.
    bool TimerActive() const { return timer_.isActive(); }
    // The start waits for the drive list before the scan can begin.
    bool WaitingForDriveList() const { return wait_.isActive(); }
    const QTimer& ScanningTimer() const { return timer_; }
    const QTimer& DriveListWait() const { return wait_; }
    // One per tick of either timer: each is connected once, here.
    int TicksHandled() const { return ticksHandled_; }

private:
    void OnInitializingTick();
    void ContinueStart();
    void OnScanningTick();
    void EndScan();

    TFram_UndeleteMain& window_;
    TFrm_Choose& startPage_;
    TFrm_Result& resultPage_;
    TFMsgBox_RecoverSelect& question_;
    TUnDeleteProgress& progress_;
    TScanFileType& types_;
    TScanPath& paths_;
    TThreadScan& worker_;
    const TLanUse& language_;

    bool starting_ = false;
    bool held_ = false;
    // A scan was started and EndScan has not yet run for it.
    bool scanRunning_ = false;
    QTimer timer_;  // Timer_Scaning
    int ticksHandled_ = 0;
    // The wait for the drive list: its clock, the step shown, the dots.
    QTimer wait_;
    QElapsedTimer waitClock_;
    int waitSteps_ = 0;
    int waitDots_ = 0;
    qint64 lastCaptionAt_ = 0;
    qint64 lastStepAt_ = 0;
    QString waitCaption_;
};

} // namespace gui
