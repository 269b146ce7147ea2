#include "gui/widgets/image_button.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

#include "gui/widgets/skin.h"

RdImgButton::RdImgButton(Look look, QWidget* parent) : QPushButton(parent), look_(look) {
    setCursor(Qt::PointingHandCursor);
    // Enter presses the focused button too, not only Space.
    setAutoDefault(true);
    setFocusPolicy(look == Look::TitleGlyph ? Qt::TabFocus : Qt::StrongFocus);
    setFont(skin::Font(13, look == Look::Primary));
    setAttribute(Qt::WA_Hover);
}

void RdImgButton::SetLook(Look look) {
    look_ = look;
    update();
}

void RdImgButton::SetArt(const QString& name) {
    art_ = name;
    update();
}

void RdImgButton::SetHint(const QString& hint) {
    setToolTip(hint);
    setAccessibleDescription(hint);
    UpdateAccessibleName();
}

void RdImgButton::SetCaption(const QString& caption) {
    setText(caption);
    UpdateAccessibleName();
    updateGeometry();
}

void RdImgButton::UpdateAccessibleName() { setAccessibleName(text().isEmpty() ? toolTip() : text()); }

QSize RdImgButton::sizeHint() const {
    if (look_ == Look::TitleGlyph)
        return {32, 28};
    const int textWidth = fontMetrics().horizontalAdvance(text());
    return {std::max(96, textWidth + 40), 34};
}

void RdImgButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QPushButton::enterEvent(event);
}

void RdImgButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QPushButton::leaveEvent(event);
}

void RdImgButton::paintEvent(QPaintEvent*) {
    const skin::Palette& c = skin::Colors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(1, 1, -1, -1);
    const bool pressed = isDown() || isChecked();
    const bool enabled = isEnabled();

    if (look_ == Look::TitleGlyph) {
        if (enabled && (pressed || hovered_)) {
            QColor wash = objectName().contains(QLatin1String("Close")) ? c.failure : QColor(255, 255, 255);
            wash.setAlpha(objectName().contains(QLatin1String("Close")) ? (pressed ? 255 : 220) : (pressed ? 70 : 40));
            p.setPen(Qt::NoPen);
            p.setBrush(wash);
            p.drawRoundedRect(box, 4, 4);
        }
        if (hasFocus()) {
            p.setPen(QPen(c.focus, 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(box, 4, 4);
        }
        p.setOpacity(enabled ? 1.0 : 0.45);
        const QSize glyph(16, 16);
        p.drawPixmap(QRect(QPoint((width() - glyph.width()) / 2, (height() - glyph.height()) / 2), glyph),
                     skin::Art(art_, glyph));
        return;
    }

    QColor fill, edge, ink;
    if (look_ == Look::Primary) {
        fill = !enabled ? c.disabledFill : pressed ? c.primaryPressed : hovered_ ? c.primaryHover : c.primary;
        edge = fill;
        ink = enabled ? QColor(Qt::white) : c.disabledText;
    } else {
        fill = !enabled ? c.page : pressed ? c.secondaryPressed : hovered_ ? c.secondaryHover : c.panel;
        edge = enabled ? c.primary : c.disabledFill;
        ink = enabled ? c.primary : c.disabledFill;
    }
    QPainterPath shape;
    shape.addRoundedRect(box, skin::kRadius, skin::kRadius);
    p.fillPath(shape, fill);
    p.setPen(QPen(edge, 1.2));
    p.drawPath(shape);
    if (hasFocus()) {
        p.setPen(QPen(c.focus, 2));
        p.drawRoundedRect(box.adjusted(-0.5, -0.5, 0.5, 0.5), skin::kRadius + 1, skin::kRadius + 1);
    }
    QRect content = rect();
    if (!art_.isEmpty()) {
        const QSize icon(18, 18);
        const int textWidth = fontMetrics().horizontalAdvance(text());
        const int total = icon.width() + (text().isEmpty() ? 0 : 8 + textWidth);
        const int left = (width() - total) / 2;
        p.setOpacity(enabled ? 1.0 : 0.45);
        p.drawPixmap(QRect(QPoint(left, (height() - icon.height()) / 2), icon), skin::Art(art_, icon));
        p.setOpacity(1.0);
        content.setLeft(left + icon.width() + 8);
        content.setWidth(textWidth + 2);
    }
    p.setPen(ink);
    p.setFont(font());
    p.drawText(content, Qt::AlignCenter, text());
}
