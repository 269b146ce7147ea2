#pragma once
// Tfrm_RecoverProgress: the small floating window that watches a recovery
// job. While the job runs it shows a line whose dots change once a second,
// the percentage and a bar, refreshed every 100 ms from the progress record.
// Its STOP button and its close button pause the job and let the main window
// ask whether to stop. Once the job has ended it shows how many files were
// recovered and how many failed; OK then opens the destination (after a
// success) or closes the window. The window only sends messages: the main
// window hides it, dims and undims.
#include <QTimer>

#include <functional>

#include "gui/widgets/form_frame.h"

class QLabel;
class RdImgButton;
class RdLabel;
class RdProgressBar;
class TLanUse;
class TThreadRecover;
class TUnDeleteProgress;

namespace gui {

class MessageHub;

class Tfrm_RecoverProgress : public RdFormFrame {
    Q_OBJECT
public:
    static constexpr int kWidth = 486;
    static constexpr int kHeight = 252;
    static constexpr int kRefreshMs = 100;

    // `mainWindow` is the window it is centred on.
    Tfrm_RecoverProgress(MessageHub& hub, const TLanUse& language, TUnDeleteProgress& progress,
                         TThreadRecover& worker, QWidget* mainWindow);

    // A job has started: the running view, centred on the main window.
    void ShowRunning();
    // The job has ended: the success or the failure view.
    void ShowFinished();
    // The user chose to go on after STOP: the window comes back and the job resumes.
    void ShowAgain();
    // As its close button: while the job runs, holds it and asks whether to
    // stop (question 2); after the end, closes the finished view.
    void RequestClose() { ClosePressed(); }

    // The clock the dots step by, in milliseconds; tests put their own in.
    void SetClock(std::function<qint64()> clock) { clock_ = std::move(clock); }
    // One refresh of the running view, as the timer does it.
    void Refresh();

    bool Refreshing() const { return timer_.isActive(); }
    // The finished view shows (until the next job starts).
    bool Finished() const { return finished_; }
    bool Succeeded() const { return succeeded_; }
    RdLabel* MainLine() const { return line1_; }
    RdLabel* FailedLine() const { return line2_; }
    RdLabel* Tip() const { return tip_; }
    // Where the ended job's report is; hidden when it wrote none.
    RdLabel* ReportLine() const { return report_; }
    RdLabel* Percent() const { return percent_; }
    RdProgressBar* Bar() const { return bar_; }
    RdImgButton* OkButton() const { return ok_; }
    QLabel* StateImage() const;  // the one of running, success and failure that shows

private:
    void OkPressed();
    void ClosePressed();
    void EnableButtons(bool enabled);
    void ShowState(QLabel* image);
    void ShowSuccessView();
    void ShowReportLine();
    // Files of the ended job recovered with zeros where they could not be read.
    uint32_t DamagedCount() const;
    void ShowFailureView();
    void LayOutRunning();
    void LayOutFinished();
    void CentreOnMainWindow();
    // Moves `w` to window coordinates (x, y); the controls live in the body.
    void Place(QWidget* w, int x, int y);

    MessageHub& hub_;
    const TLanUse& language_;
    TUnDeleteProgress& progress_;
    TThreadRecover& worker_;
    QWidget* mainWindow_;
    std::function<qint64()> clock_;

    QLabel* running_;
    QLabel* success_;
    QLabel* failure_;
    RdLabel* line1_;
    RdLabel* line2_;
    RdProgressBar* bar_;
    RdLabel* percent_;
    RdLabel* tip_;
    RdLabel* report_;
    RdImgButton* ok_;
    QTimer timer_;

    bool succeeded_ = false;
    bool finished_ = false;  // the finished view shows
    uint32_t dotStep_ = 0;
    qint64 lastTick_ = 0;
};

} // namespace gui
