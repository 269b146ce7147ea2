#pragma once
// TFrm_Preview_Small: the hover pane that shows a found file's picture or
// text beside its row while the mouse rests on the row's preview button.
// One pane is made per hover; it never takes the focus or the mouse.
#include "gui/preview/preview_surface.h"

namespace gui {

class TFrm_Preview_Small : public PreviewSurface {
    Q_OBJECT
public:
    static constexpr int kWidth = 325;
    static constexpr int kHeight = 176;
    // The pointer hangs this far above or below the pane, this far from its right edge.
    static constexpr int kPointerHeight = 9;
    static constexpr int kPointerInset = 22;

    explicit TFrm_Preview_Small(const TLanUse& language);

    // Shows the pane for `file`: the pane's body at `bodyTopLeft` (screen
    // coordinates); with `arrowUp` the pane lies below its row and points up
    // to it, else above, pointing down.
    void ShowFor(const TMyFile* file, const QPoint& bodyTopLeft, bool arrowUp);
    // Cancels an unfinished request and hides the pane.
    void Stop();

    bool ArrowUp() const { return arrowUp_; }
    // The pane's body (without the pointer) in screen coordinates.
    QRect BodyGeometry() const;
    // The pointer's tip in screen coordinates.
    QPoint PointerTip() const;

signals:
    // A stopped pane's worker has ended: the pane is idle and may be freed.
    void Released();

protected:
    void EndCancelled() override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The pointer's outline, `grow` pixels wider all round.
    QPolygon Pointer(int grow = 0) const;
    void LayOut();
    bool arrowUp_ = false;
};

} // namespace gui
