#include "gui/preview/hover_previews.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

#include "gui/common/trace.h"
#include "gui/preview/preview_pane.h"
#include "gui/results/result_list.h"
#include "gui/results/result_list_model.h"
#include "results/result_view.h"

namespace gui {

namespace {
// The preview button is drawn 20 pixels wide from 10 left of its cell's
// centre; the band's ends lie just outside it.
constexpr int kButtonHalf = 10;

int ButtonCentre(const ResultList& list) {
    const int column = results::kColumnPreview;
    return QRect(list.columnViewportPosition(column), 0, list.columnWidth(column), 1).center().x();
}
} // namespace

HoverPreviews::HoverPreviews(ResultList& list, int& hoverRow, const TLanUse& language)
    : list_(list), hoverRow_(hoverRow), language_(language) {
    list_.viewport()->installEventFilter(this);
}

HoverPreviews::~HoverPreviews() {
    list_.viewport()->removeEventFilter(this);
    FreeReleased();
    // Every pane is stopped first, so that their reads end side by side and
    // the page's end waits kEndWaitMs at most in all, not per pane. Freeing
    // a pane waits for its worker; a worker stuck in a read longer than that
    // is left to the end of the process rather than holding the window thread.
    for (TFrm_Preview_Small* pane : panes_)
        pane->Stop();
    QElapsedTimer clock;
    clock.start();
    for (TFrm_Preview_Small* pane : panes_) {
        const qint64 left = std::max<qint64>(0, kEndWaitMs - clock.elapsed());
        if (pane->Finished() || pane->Worker().Idle() || pane->Worker().WaitUntilDoneFor(uint32_t(left)))
            delete pane;
    }
    panes_.clear();
}

std::pair<int, int> HoverPreviews::HoverBand() const {
    const int column = results::kColumnPreview;
    const int left = list_.columnViewportPosition(column);
    const int width = list_.columnWidth(column);
    const QScrollBar* sideways = list_.horizontalScrollBar();
    if (!sideways->isVisible()) {
        const int centre = ButtonCentre(list_);
        return {centre - kButtonHalf - 1, centre + kButtonHalf};
    }
    if (sideways->value() >= sideways->maximum())
        return {left, left + width};
    return {0, 0};
}

bool HoverPreviews::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_.viewport()) {
        switch (event->type()) {
        case QEvent::MouseMove:
            MouseMoved(static_cast<QMouseEvent*>(event)->position().toPoint());
            break;
        // The row is forgotten too: coming back onto the same button shows it again.
        case QEvent::Leave:
            if (previewShown_)
                ClosePanes();
            ForgetRow();
            break;
        // A press (the large preview opening), a scroll, the list going
        // away or out of use: a pane would point at a row it no longer stands by.
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
        case QEvent::Hide:
        case QEvent::EnabledChange:
            if (!panes_.empty())
                ClosePanes();
            ForgetRow();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void HoverPreviews::ForgetRow() { hoverRow_ = -1; }

void HoverPreviews::MouseMoved(const QPoint& at) {
    const int row = list_.rowAt(at.y());
    const auto [from, to] = HoverBand();
    const bool inBand = at.x() > from && at.x() < to && at.y() < list_.viewport()->height();
    if (row < 0 || !inBand) {
        if (!panes_.empty())
            ClosePanes();
        ForgetRow();
        return;
    }
    if (row == hoverRow_)
        return;
    hoverRow_ = row;
    const TMyFile* file = list_.ResultModel() ? list_.ResultModel()->FileAt(row) : nullptr;
    ClosePanes();
    if (!file || file->PreviewKind == 0)
        return;
    ShowPane(file, row, at);
}

void HoverPreviews::ShowPane(const TMyFile* file, int row, const QPoint& at) {
    QWidget* viewport = list_.viewport();
    const int buttonCentre = ButtonCentre(list_);
    const int rowTop = list_.rowViewportPosition(row);
    const int rowBottom = rowTop + list_.rowHeight(row);
    const bool lowerHalf = at.y() > viewport->height() / 2;
    const int bodyLeft = buttonCentre - (TFrm_Preview_Small::kWidth - TFrm_Preview_Small::kPointerInset);
    int bodyTop;
    // The pointer's tip just reaches into the row.
    if (lowerHalf) {
        bodyTop = rowTop + 2 - (TFrm_Preview_Small::kHeight - 1 + TFrm_Preview_Small::kPointerHeight);
        qCDebug(dunroGui).nospace() << "--------PreView_Y1=" << rowTop;
    } else {
        bodyTop = rowBottom - 2 + TFrm_Preview_Small::kPointerHeight;
        qCDebug(dunroGui).nospace() << "--------PreView_Y2=" << rowBottom + 2;
    }
    auto* pane = new TFrm_Preview_Small(language_);
    panes_.push_front(pane);
    connect(pane, &TFrm_Preview_Small::Released, this, [this, pane] { Release(pane); });
    pane->ShowFor(file, viewport->mapToGlobal(QPoint(bodyLeft, bodyTop)), !lowerHalf);
    previewShown_ = true;
}

void HoverPreviews::ClosePanes() {
    for (auto it = panes_.rbegin(); it != panes_.rend(); ++it)
        (*it)->Stop();
    for (auto it = panes_.end(); it != panes_.begin();) {
        --it;
        if ((*it)->Finished()) {
            delete *it;
            it = panes_.erase(it);
        }
    }
    previewShown_ = false;
}

// A stopped pane whose worker has now ended is freed at once rather than at
// the next hover.
void HoverPreviews::Release(TFrm_Preview_Small* pane) {
    const auto it = std::find(panes_.begin(), panes_.end(), pane);
    if (it == panes_.end())
        return;
    panes_.erase(it);
    released_.push_back(pane);
    QTimer::singleShot(0, this, [this] { FreeReleased(); });
}

void HoverPreviews::FreeReleased() {
    for (TFrm_Preview_Small* pane : released_)
        delete pane;
    released_.clear();
}

} // namespace gui
