#include "gui/preview/preview_pane.h"

#include <QPainter>
#include <QPlainTextEdit>

#include <algorithm>

#include "gui/common/texts.h"
#include "gui/preview/loading_sign.h"
#include "gui/preview/picture_view.h"
#include "gui/widgets/skin.h"
#include "gui/widgets/skin_label.h"

namespace gui {

namespace {
constexpr int kBodyTop = TFrm_Preview_Small::kPointerHeight;
constexpr int kPointerHalfWidth = 9;
} // namespace

TFrm_Preview_Small::TFrm_Preview_Small(const TLanUse& language)
    : PreviewSurface(language, kSmallPreview, QRect(5, kBodyTop + 5, kWidth - 10, kHeight - 10), nullptr,
                     Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                         Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QStringLiteral("Frm_Preview_Small"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(kWidth, kHeight + 2 * kPointerHeight);
    setAccessibleName(Tr(language_, "M_Preview", "Preview"));
    Memo()->setObjectName(QStringLiteral("RdMemo_Text"));
    Memo()->setFont(skin::Font(12));
    Memo()->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo()->setFocusPolicy(Qt::NoFocus);
    NoPreviewLabel()->SetColor(skin::Colors().mutedText);
    LoadingLabel()->SetColor(skin::Colors().mutedText);
    LayOut();
}

void TFrm_Preview_Small::LayOut() {
    const int inner = kWidth - 10;
    const int noPreviewHeight = NoPreviewLabel()->heightForWidth(inner);
    NoPreviewLabel()->setGeometry(5, kBodyTop + (kHeight - noPreviewHeight) / 2, inner, noPreviewHeight);
    LoadingLabel()->setGeometry(5, kBodyTop + kHeight / 2 + 12, inner, LoadingLabel()->heightForWidth(inner));
    Loading()->move(141, kBodyTop + 34);
    Memo()->setGeometry(ContentBox());
}

void TFrm_Preview_Small::ShowFor(const TMyFile* file, const QPoint& bodyTopLeft, bool arrowUp) {
    hide();
    arrowUp_ = arrowUp;
    move(bodyTopLeft - QPoint(0, kBodyTop));
    // The shape takes the pointer one pixel wider all round, so that its drawn edge stays inside.
    setMask(QRegion(QRect(0, kBodyTop, kWidth, kHeight)) + QRegion(Pointer(1), Qt::WindingFill));
    Picture()->Clear();
    LayOut();
    HideContent();
    ShowLoadingSign();
    StartRequest(file);
    if (file)
        setAccessibleName(Tr(language_, "M_Preview", "Preview") + QStringLiteral(": ") + FromUtf8(file->FileName));
    Picture()->setAccessibleName(accessibleName());
    Memo()->setAccessibleName(accessibleName());
    show();
    raise();
}

void TFrm_Preview_Small::Stop() {
    if (!Finished())
        Worker().Cancel();
    if (isVisible())
        hide();
}

void TFrm_Preview_Small::EndCancelled() {
    Memo()->clear();
    hide();
    emit Released();
}

QRect TFrm_Preview_Small::BodyGeometry() const { return QRect(pos() + QPoint(0, kBodyTop), QSize(kWidth, kHeight)); }

QPoint TFrm_Preview_Small::PointerTip() const { return pos() + Pointer().at(0); }

QPolygon TFrm_Preview_Small::Pointer(int grow) const {
    const int x = kWidth - kPointerInset;
    const int half = kPointerHalfWidth + grow;
    if (arrowUp_)
        return QPolygon({QPoint(x, std::max(0, 1 - grow)), QPoint(x + half, kBodyTop + 1), QPoint(x - half, kBodyTop + 1)});
    const int base = kBodyTop + kHeight - 2;
    return QPolygon({QPoint(x, std::min(height() - 1, base + kPointerHeight - 1 + grow)), QPoint(x - half, base),
                     QPoint(x + half, base)});
}

void TFrm_Preview_Small::paintEvent(QPaintEvent*) {
    const skin::Palette& c = skin::Colors();
    QPainter p(this);
    const QRect body(0, kBodyTop, kWidth, kHeight);
    p.fillRect(body, c.panel);
    // The pane stands over the list's white rows: its edge is drawn in the accent of the skin.
    p.setPen(c.primary);
    p.drawRect(body.adjusted(0, 0, -1, -1));
    // The pointer after the frame: its filling covers the frame's edge
    // where it joins, so the pane opens towards the row.
    const QPolygon pointer = Pointer();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(c.panel);
    p.drawPolygon(pointer);
    p.setPen(c.primary);
    p.drawLine(pointer.at(1), pointer.at(0));
    p.drawLine(pointer.at(0), pointer.at(2));
}

} // namespace gui
