#include "gui/widgets/check_box.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include "gui/widgets/skin.h"

void PaintCheckMark(QPainter& p, const QRectF& r, Qt::CheckState state, bool enabled) {
    const skin::Palette& c = skin::Colors();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const bool on = state != Qt::Unchecked;
    const QColor fill = !enabled ? c.disabledFill : on ? c.primary : c.panel;
    p.setPen(QPen(on || !enabled ? fill : c.mutedText, 1.3));
    p.setBrush(fill);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (state == Qt::Checked) {
        QPainterPath tick;
        tick.moveTo(r.left() + r.width() * 0.25, r.top() + r.height() * 0.52);
        tick.lineTo(r.left() + r.width() * 0.43, r.top() + r.height() * 0.70);
        tick.lineTo(r.left() + r.width() * 0.76, r.top() + r.height() * 0.32);
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    } else if (state == Qt::PartiallyChecked) {
        p.drawLine(QPointF(r.left() + r.width() * 0.28, r.center().y()),
                   QPointF(r.right() - r.width() * 0.28, r.center().y()));
    }
    p.restore();
}

RdCheckBox::RdCheckBox(Look look, QWidget* parent) : QCheckBox(parent), look_(look) {
    setCursor(Qt::PointingHandCursor);
    setFont(skin::Font(13));
    setFocusPolicy(Qt::StrongFocus);
}

QRect RdCheckBox::MarkRect() const {
    const QSize mark = look_ == Look::Toggle ? QSize(34, 18) : QSize(16, 16);
    return QRect(QPoint(1, (height() - mark.height()) / 2), mark);
}

QSize RdCheckBox::sizeHint() const {
    const int markWidth = look_ == Look::Toggle ? 34 : 16;
    return {markWidth + 10 + fontMetrics().horizontalAdvance(text()) + 4, std::max(24, fontMetrics().height() + 6)};
}

void RdCheckBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QCheckBox::keyPressEvent(event);
}

void RdCheckBox::paintEvent(QPaintEvent*) {
    const skin::Palette& c = skin::Colors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect mark = MarkRect();
    if (look_ == Look::Toggle) {
        const bool on = isChecked();
        p.setPen(Qt::NoPen);
        p.setBrush(!isEnabled() ? c.disabledFill : on ? c.primary : QColor(0xb4, 0xc0, 0xce));
        p.drawRoundedRect(mark, mark.height() / 2.0, mark.height() / 2.0);
        const int knob = mark.height() - 4;
        const int x = on ? mark.right() - knob - 1 : mark.left() + 2;
        p.setBrush(Qt::white);
        p.drawEllipse(QRect(x, mark.top() + 2, knob, knob));
    } else {
        PaintCheckMark(p, mark, checkState(), isEnabled());
    }
    if (hasFocus()) {
        p.setPen(QPen(c.focus, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(mark).adjusted(-2, -2, 2, 2), 4, 4);
    }
    p.setPen(isEnabled() ? c.text : c.mutedText);
    p.setFont(font());
    p.drawText(QRect(mark.right() + 10, 0, width() - mark.right() - 10, height()), Qt::AlignVCenter | Qt::AlignLeft,
               text());
}
