#include "gui/widgets/hint_balloon.h"

#include <QPainter>
#include <QPainterPath>

#include "gui/widgets/skin.h"

namespace {
constexpr int kPointer = 8;
constexpr int kPadding = 12;
constexpr int kMaxTextWidth = 260;
} // namespace

RdHintBalloon::RdHintBalloon(QWidget* parent) : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
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

void RdHintBalloon::paintEvent(QPaintEvent*) {
    const skin::Palette& c = skin::Colors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(rect()).adjusted(1, kPointer + 1, -1, -1);
    QPainterPath shape;
    shape.addRoundedRect(body, skin::kRadius, skin::kRadius);
    QPainterPath pointer;
    pointer.moveTo(18, body.top() + 1);
    pointer.lineTo(24, 1);
    pointer.lineTo(30, body.top() + 1);
    pointer.closeSubpath();
    shape = shape.united(pointer);
    p.setPen(QPen(c.primary, 1.2));
    p.setBrush(QColor(0xfd, 0xf6, 0xec));
    p.drawPath(shape);
    p.setPen(c.text);
    p.drawText(body.adjusted(kPadding, kPadding, -kPadding, -kPadding), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
               text_);
}
