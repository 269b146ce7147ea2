#pragma once
// The result list's hover panes (SmallPreviews): while the mouse rests on a
// row's preview button a pane shows that file beside the row, above it in
// the lower half of the list (pointing down), else below it (pointing up).
// Moving on closes the pane; a pane whose worker is still reading is
// cancelled and hidden at once and freed once the worker has stopped.
#include <QObject>
#include <QPoint>

#include <deque>
#include <utility>
#include <vector>

class TLanUse;
struct TMyFile;

namespace gui {

class ResultList;
class TFrm_Preview_Small;

class HoverPreviews : public QObject {
    Q_OBJECT
public:
    // The longest the page's end waits for the panes' workers, all together.
    static constexpr int kEndWaitMs = 10'000;

    // `hoverRow` is the page's HoverRow, which its view changes forget too.
    HoverPreviews(ResultList& list, int& hoverRow, const TLanUse& language);
    // Stops every pane, waits for their workers (at most kEndWaitMs in all) and frees them.
    ~HoverPreviews() override;

    // Newest first.
    const std::deque<TFrm_Preview_Small*>& Panes() const { return panes_; }
    bool PreviewShown() const { return previewShown_; }
    // Where the mouse must be, in the list's viewport x coordinates, for a
    // pane: the preview button; with a sideways scroll bar the whole preview
    // column while the list is scrolled to its end, else nowhere (first >= second).
    std::pair<int, int> HoverBand() const;
    // Stops every pane and frees those whose worker has finished.
    void ClosePanes();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MouseMoved(const QPoint& at);
    void ForgetRow();
    void ShowPane(const TMyFile* file, int row, const QPoint& at);
    void Release(TFrm_Preview_Small* pane);
    void FreeReleased();

    ResultList& list_;
    int& hoverRow_;
    const TLanUse& language_;
    std::deque<TFrm_Preview_Small*> panes_;
    // Stopped panes whose workers have ended, freed once their poll has returned.
    std::vector<TFrm_Preview_Small*> released_;
    bool previewShown_ = false;
};

} // namespace gui
