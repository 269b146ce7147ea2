#include "gui/start/scan_dial.h"

#include <QConicalGradient>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>

#include "gui/widgets/skin.h"

namespace gui {

namespace {
constexpr int kRingWidth = 10;
// The button fills this share of the dial's radius.
constexpr double kButtonShare = 0.64;
} // namespace

TScanButton::TScanButton(QWidget* parent) : QPushButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAutoDefault(true);
    setFont(skin::Font(22, true));
    setAttribute(Qt::WA_Hover);
}

void TScanButton::SetStopLook(bool stop) {
    stopLook_ = stop;
    update();
}

bool TScanButton::hitButton(const QPoint& pos) const {
    const QPointF centre = QRectF(rect()).center();
    const double radius = std::min(width(), height()) / 2.0;
    return std::hypot(pos.x() - centre.x(), pos.y() - centre.y()) <= radius;
}

void TScanButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void TScanButton::paintEvent(QPaintEvent*) {
    const skin::Palette& c = skin::Colors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(2, 2, -2, -2);
    const bool hovered = underMouse();
    QColor light = stopLook_ ? c.accent.lighter(118) : (hovered ? c.primaryHover.lighter(112) : c.primaryHover);
    QColor dark = stopLook_ ? c.accent.darker(112) : c.primaryPressed;
    if (!isEnabled()) {
        light = c.disabledFill.lighter(108);
        dark = c.disabledFill;
    } else if (isDown()) {
        std::swap(light, dark);
    }
    QRadialGradient fill(face.center().x(), face.top() + face.height() * 0.3, face.width() * 0.75);
    fill.setColorAt(0, light);
    fill.setColorAt(1, dark);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(face);
    // A soft light from above gives the face some depth.
    const QRectF upper(face.left() + face.width() * 0.12, face.top() + face.height() * 0.04, face.width() * 0.76,
                       face.height() * 0.5);
    QLinearGradient shine(upper.topLeft(), upper.bottomLeft());
    shine.setColorAt(0, QColor(255, 255, 255, 70));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(shine);
    p.drawEllipse(upper);
    if (hasFocus()) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(c.focus, 2.5));
        p.drawEllipse(face.adjusted(3, 3, -3, -3));
    }
    p.setPen(isEnabled() ? QColor(Qt::white) : c.disabledText);
    p.setFont(font());
    p.drawText(face, Qt::AlignCenter, text());
}

TScanDial::TScanDial(QWidget* parent)
    : QProgressBar(parent),
      button_(new TScanButton(this)),
      normalGlow_(3, 40, this),
      hoverGlow_(0, 40, this),
      ring_(9, 40, this) {
    setTextVisible(false);
    setRange(0, 100);
    setValue(0);
    hoverGlow_.SetOpacity(0);
    for (RdRotatingPicture* animator : {&normalGlow_, &hoverGlow_, &ring_})
        connect(animator, &RdRotatingPicture::Changed, this, qOverload<>(&QWidget::update));
    button_->installEventFilter(this);
    SetRunning(false);
}

void TScanDial::SetCaption(const QString& caption) {
    button_->setText(caption);
    button_->setAccessibleName(caption);
}

void TScanDial::SetRunning(bool running) {
    // Waiting, the glow turns slowly; scanning, the ring's highlight runs instead.
    normalGlow_.SetRunning(!running);
    normalGlow_.SetOpacity(running ? 0 : 255);
    ring_.SetRunning(running);
    button_->SetStopLook(running);
    update();
}

void TScanDial::UpdateHoverGlow() { hoverGlow_.SetOpacity(button_->underMouse() ? kHoverGlow : 0); }

bool TScanDial::eventFilter(QObject* watched, QEvent* event) {
    if (watched == button_ && (event->type() == QEvent::Enter || event->type() == QEvent::Leave))
        hoverGlow_.SetOpacity(event->type() == QEvent::Enter ? kHoverGlow : 0);
    return QProgressBar::eventFilter(watched, event);
}

void TScanDial::resizeEvent(QResizeEvent*) {
    const int side = std::min(width(), height());
    const int buttonSide = static_cast<int>(side * kButtonShare);
    button_->setGeometry((width() - buttonSide) / 2, (height() - buttonSide) / 2, buttonSide, buttonSide);
}

void TScanDial::paintEvent(QPaintEvent*) {
    const skin::Palette& c = skin::Colors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    const double outer = std::min(width(), height()) / 2.0 - 2;
    const double ringRadius = outer - 14;
    const QRectF ring(centre.x() - ringRadius, centre.y() - ringRadius, 2 * ringRadius, 2 * ringRadius);

    // Normal glow: a soft band with a bright sweep that turns round.
    if (normalGlow_.Opacity() > 0) {
        QConicalGradient sweep(centre, -normalGlow_.Angle());
        QColor glow = c.primaryHover;
        glow.setAlpha(normalGlow_.Opacity() * 70 / 255);
        QColor clear = glow;
        clear.setAlpha(0);
        sweep.setColorAt(0, glow);
        sweep.setColorAt(0.35, clear);
        sweep.setColorAt(0.65, clear);
        sweep.setColorAt(1, glow);
        p.setPen(QPen(QBrush(sweep), 12));
        p.setBrush(Qt::NoBrush);
        const double r = outer - 6;
        p.drawEllipse(centre, r, r);
    }

    // The ring: its track, the part done, and while scanning a running highlight.
    p.setPen(QPen(c.border, kRingWidth, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(ring);
    const double done = maximum() > minimum() ? double(value() - minimum()) / (maximum() - minimum()) : 0.0;
    if (done > 0) {
        QConicalGradient fill(centre, 90);
        fill.setColorAt(0, c.primary);
        fill.setColorAt(1, c.primaryHover);
        p.setPen(QPen(QBrush(fill), kRingWidth, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(ring, 90 * 16, -static_cast<int>(360 * 16 * done));
    }
    if (ring_.Running()) {
        const double angle = (90 - ring_.Angle()) * M_PI / 180.0;
        const QPointF spot(centre.x() + ringRadius * std::cos(angle), centre.y() - ringRadius * std::sin(angle));
        QRadialGradient dot(spot, kRingWidth);
        QColor hot = c.accent;
        dot.setColorAt(0, hot);
        hot.setAlpha(0);
        dot.setColorAt(1, hot);
        p.setPen(Qt::NoPen);
        p.setBrush(dot);
        p.drawEllipse(spot, kRingWidth, kRingWidth);
    }

    // Hover glow: a bright halo right round the button.
    if (hoverGlow_.Opacity() > 0) {
        QColor halo = c.primaryHover;
        halo.setAlpha(hoverGlow_.Opacity());
        p.setPen(QPen(halo, 7));
        p.setBrush(Qt::NoBrush);
        const double r = button_->width() / 2.0 + 5;
        p.drawEllipse(centre, r, r);
    }
}

} // namespace gui
