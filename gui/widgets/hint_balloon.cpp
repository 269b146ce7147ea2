#include "gui/widgets/hint_balloon.h"

#include <QPainter>
#include <QPainterPathStroker>
#include <QResizeEvent>

#include "gui/widgets/skin.h"

namespace {
constexpr int kPointer = 8;
constexpr int kPadding = 12;
constexpr int kMaxTextWidth = 260;
} // namespace

RdHintBalloon::RdHintBalloon(QWidget* parent) : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint) {
    // No translucent window: without a compositor its clear pixels come out
    // black. The mask set on every resize cuts the window to the outline.
    setAutoFillBackground(false);
    setFont(skin::Font(12));
    hideTimer_.setSingleShot(true);
    connect(&hideTimer_, &QTimer::timeout, this, &QWidget::hide);
}

void RdHintBalloon::ShowAt(const QPoint& anchor, const QString& text, int ms) {
    text_ = text;
    setAccessibleName(text);
    const QRect textRect = fontMetrics().boundingRect(QRect(0, 0, kMaxTextWidth, 1000), Qt::TextWordWrap, text);
    resize(textRect.width() + 2 * kPadding + 2, textRect.height() + 2 * kPadding + kPointer + 2);
    move(anchor.x() - 24, anchor.y());
    show();
    raise();
    if (ms > 0)
        hideTimer_.start(ms);
}

void RdHintBalloon::mousePressEvent(QMouseEvent*) { hide(); }

QRectF RdHintBalloon::Body() const { return QRectF(rect()).adjusted(1, kPointer + 1, -1, -1); }

QPainterPath RdHintBalloon::Outline() const {
    const QRectF body = Body();
    QPainterPath shape;
    shape.addRoundedRect(body, skin::kRadius, skin::kRadius);
    QPainterPath pointer;
    pointer.moveTo(18, body.top() + 1);
    pointer.lineTo(24, 1);
    pointer.lineTo(30, body.top() + 1);
    pointer.closeSubpath();
    return shape.united(pointer);
}

void RdHintBalloon::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The outline grown by half a pixel keeps the whole border pen inside the mask.
    QPainterPathStroker stroker;
    stroker.setWidth(2);
    const QPainterPath covered = Outline().united(stroker.createStroke(Outline()));
    setMask(QRegion(covered.toFillPolygon().toPolygon(), Qt::WindingFill));
}

void RdHintBalloon::paintEvent(QPaintEvent*) {
    const skin::Palette& c = skin::Colors();
    QPainter p(this);
    // What the mask lets through beyond the outline's smooth edge takes the note's border colour.
    p.fillRect(rect(), c.primary);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(c.primary, 1.2));
    p.setBrush(QColor(0xfd, 0xf6, 0xec));
    p.drawPath(Outline());
    p.setPen(c.text);
    p.drawText(Body().adjusted(kPadding, kPadding, -kPadding, -kPadding), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
               text_);
}
