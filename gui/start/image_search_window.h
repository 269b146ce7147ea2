#pragma once
// TFrm_ImageSearch: the small floating window that watches the full search
// of an image for lost volumes. It shows how much of the image has been
// looked through, as a bar and as text, refreshed every 100 ms from the scan
// worker. Its Stop button, its close button and Esc post the stop request;
// the window only reports and never ends the search itself.
#include <QTimer>

#include "gui/widgets/form_frame.h"

class RdImgButton;
class RdLabel;
class RdProgressBar;
class TLanUse;
class TThreadScan;

namespace gui {

class MessageHub;

class TFrm_ImageSearch : public RdFormFrame {
    Q_OBJECT
public:
    static constexpr int kWidth = 486;
    static constexpr int kHeight = 200;
    static constexpr int kRefreshMs = 100;

    // `mainWindow` is the window it is centred on.
    TFrm_ImageSearch(MessageHub& hub, const TLanUse& language, const TThreadScan& worker, QWidget* mainWindow);

    // A search of `image` (its name as shown) has started.
    void ShowRunning(const QString& image);
    // The stop was asked for: the search ends at its next block.
    void ShowStopping();
    // The search has ended: the window goes.
    void Finish();
    // One refresh, as the timer does it.
    void Refresh();

    RdLabel* MainLine() const { return line_; }
    RdProgressBar* Bar() const { return bar_; }
    // "1.2 GB of 4.0 GB searched"
    RdLabel* AmountLine() const { return amount_; }
    RdImgButton* StopButton() const { return stop_; }
    bool Stopping() const { return stopping_; }

private:
    void RequestStop();
    void CentreOnMainWindow();

    MessageHub& hub_;
    const TLanUse& language_;
    const TThreadScan& worker_;
    QWidget* mainWindow_;
    QString image_;
    bool stopping_ = false;

    RdLabel* line_;
    RdProgressBar* bar_;
    RdLabel* amount_;
    RdImgButton* stop_;
    QTimer timer_;
};

} // namespace gui
