#include "gui/start/type_tile.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include "gui/widgets/check_box.h"
#include "gui/widgets/skin.h"

namespace gui {

TTypeTile::TTypeTile(const QString& art, QWidget* parent) : QCheckBox(parent), art_(art) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setFont(skin::Font(13, true));
    setAttribute(Qt::WA_Hover);
}

QSize TTypeTile::sizeHint() const { return {std::max(150, fontMetrics().horizontalAdvance(text()) + 100), 58}; }

void TTypeTile::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QCheckBox::keyPressEvent(event);
}

void TTypeTile::paintEvent(QPaintEvent*) {
    const skin::Palette& c = skin::Colors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool on = isChecked();
    const bool enabled = isEnabled();
    const bool hovered = enabled && underMouse();
    const QRectF card = QRectF(rect()).adjusted(1, 1, -1, -1);
    QPainterPath shape;
    shape.addRoundedRect(card, skin::kRadius + 2, skin::kRadius + 2);
    QColor fill = on ? QColor(0xee, 0xf5, 0xfe) : c.panel;
    if (hovered)
        fill = on ? c.secondaryPressed : c.secondaryHover;
    if (!enabled)
        fill = c.page;
    p.fillPath(shape, fill);
    QColor edge = on ? c.primary : c.border;
    if (!enabled)
        edge = c.border;
    p.setPen(QPen(hasFocus() ? c.focus : edge, hasFocus() ? 2 : (on ? 1.4 : 1)));
    p.drawPath(shape);

    const QSize picture(30, 30);
    const QRect pictureRect(QPoint(14, (height() - picture.height()) / 2), picture);
    p.setOpacity(enabled ? (on ? 1.0 : 0.55) : 0.35);
    p.drawPixmap(pictureRect, skin::Art(art_, picture));
    p.setOpacity(1.0);

    const QRectF mark(width() - 30, (height() - 18) / 2.0, 18, 18);
    PaintCheckMark(p, mark, on ? Qt::Checked : Qt::Unchecked, enabled);

    p.setPen(enabled ? (on ? c.text : c.mutedText) : c.disabledFill);
    p.setFont(font());
    const int textLeft = pictureRect.right() + 12;
    p.drawText(QRect(textLeft, 0, int(mark.left()) - textLeft - 6, height()), Qt::AlignVCenter | Qt::AlignLeft,
               fontMetrics().elidedText(text(), Qt::ElideRight, int(mark.left()) - textLeft - 6));
}

} // namespace gui
