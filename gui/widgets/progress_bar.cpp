#include "gui/widgets/progress_bar.h"

#include <QPainter>

#include "gui/widgets/skin.h"

namespace {
double Fraction(const QProgressBar& bar) {
    const int span = bar.maximum() - bar.minimum();
    return span > 0 ? double(bar.value() - bar.minimum()) / span : 0.0;
}
} // namespace

RdProgressBar::RdProgressBar(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    setRange(0, 100);
}

void RdProgressBar::paintEvent(QPaintEvent*) {
    const skin::Palette& c = skin::Colors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = track.height() / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(c.border);
    p.drawRoundedRect(track, radius, radius);
    QRectF done = track;
    done.setWidth(std::max(track.height(), track.width() * Fraction(*this)));
    if (Fraction(*this) > 0) {
        QLinearGradient fill(done.topLeft(), done.topRight());
        fill.setColorAt(0, c.primary);
        fill.setColorAt(1, c.primaryHover);
        p.setBrush(fill);
        p.drawRoundedRect(done, radius, radius);
    }
}

RdProgressRing::RdProgressRing(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    setRange(0, 100);
    animator_.setInterval(40);
    connect(&animator_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + 12) % 360;
        update();
    });
}

void RdProgressRing::SetSpinning(bool spinning) {
    if (spinning)
        animator_.start();
    else
        animator_.stop();
    update();
}

void RdProgressRing::SetCentreText(const QString& text) {
    centre_ = text;
    setAccessibleDescription(text);
    update();
}

void RdProgressRing::paintEvent(QPaintEvent*) {
    const skin::Palette& c = skin::Colors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height()) - 12;
    const QRectF ring((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    p.setPen(QPen(c.border, 10, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(ring);
    p.setPen(QPen(c.primary, 10, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(ring, 90 * 16, -static_cast<int>(360 * 16 * Fraction(*this)));
    const int picture = side / 3;
    p.save();
    p.translate(ring.center().x(), ring.center().y() - side / 8.0);
    p.rotate(angle_);
    p.drawPixmap(QRect(-picture / 2, -picture / 2, picture, picture), skin::Art(QStringLiteral("spinner"), {picture, picture}));
    p.restore();
    p.setPen(c.text);
    p.setFont(skin::Font(std::max(12, side / 8), true));
    p.drawText(QRectF(ring.left(), ring.center().y() + side / 10.0, ring.width(), side / 4.0), Qt::AlignCenter, centre_);
}
