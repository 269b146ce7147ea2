#pragma once
// What the hover pane and the large preview window share: the preview
// worker they own, the poll timer Timer_Analy that watches it every 100 ms
// while the loading sign turns, and the controls that show its result (the
// picture, the text memo, "No Preview Available"). A surface goes from
// hidden and idle to loading, to showing a result, to hidden again; a
// cancel while loading ends hidden and idle once the worker has stopped.
// The window thread never waits for the worker: a request made while it is
// still busy (a read of a slow drive that a cancel cannot cut short) retires
// that worker, cancelled, and goes to a fresh one; a retired worker is freed
// once it reports that it is done.
#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

#include "preview/preview_worker.h"

class QPlainTextEdit;
class RdLabel;
class TLanUse;

namespace gui {

class LoadingSign;
class PictureView;

class PreviewSurface : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPollMs = 100;

    ~PreviewSurface() override;

    TPreviewWorker& Worker() { return *worker_; }
    const TPreviewWorker& Worker() const { return *worker_; }
    // Cancelled workers still inside a read, freed once they report done.
    size_t RetiredWorkers() const { return retired_.size(); }
    // The window has taken (or given up) the worker's last result.
    bool Finished() const { return worker_->State.Finished; }
    // Where the picture and the text go.
    QRect ContentBox() const { return box_; }

    PictureView* Picture() const { return picture_; }
    QPlainTextEdit* Memo() const { return memo_; }
    RdLabel* NoPreviewLabel() const { return noPreview_; }
    RdLabel* LoadingLabel() const { return loadingLabel_; }
    LoadingSign* Loading() const { return loading_; }
    QTimer& PollTimer() { return pollTimer_; }

protected:
    PreviewSurface(const TLanUse& language, const PreviewLimits& limits, const QRect& box, QWidget* parent,
                   Qt::WindowFlags flags);

    // Hides the picture, the memo, the loading sign and "No Preview Available".
    void HideContent();
    // The loading sign at its first frame, the loading text, both in front.
    void ShowLoadingSign();
    // Starts the poll timer and the worker on `file`, its state cleared; a
    // worker still busy is retired first and a fresh one takes the request.
    void StartRequest(const TMyFile* file);
    void ShowNoPreview();

    // What each surface does once a cancelled request has ended.
    virtual void EndCancelled() = 0;
    // After a result has been put in place.
    virtual void ResultShown() {}

    const TLanUse& language_;

private:
    void Poll();
    void FinishAndShow();
    void ShowResult();
    void ShowPicture();

    void FreeRetired();

    const PreviewLimits& limits_;
    std::unique_ptr<TPreviewWorker> worker_;
    std::vector<std::unique_ptr<TPreviewWorker>> retired_;
    QTimer retiredTimer_;
    const QRect box_;
    QTimer pollTimer_;
    PictureView* picture_;
    QPlainTextEdit* memo_;
    RdLabel* noPreview_;
    RdLabel* loadingLabel_;
    LoadingSign* loading_;
};

} // namespace gui
