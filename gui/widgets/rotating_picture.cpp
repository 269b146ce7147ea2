#include "gui/widgets/rotating_picture.h"

#include <algorithm>

RdRotatingPicture::RdRotatingPicture(int stepDegrees, int intervalMs, QObject* parent)
    : QObject(parent), step_(stepDegrees) {
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { SetAngle(angle_ + step_); });
}

void RdRotatingPicture::SetRunning(bool running) {
    if (running == timer_.isActive())
        return;
    if (running)
        timer_.start();
    else
        timer_.stop();
    emit Changed();
}

void RdRotatingPicture::SetAngle(int degrees) {
    angle_ = ((degrees % 360) + 360) % 360;
    emit Changed();
}

void RdRotatingPicture::SetOpacity(int opacity) {
    opacity = std::clamp(opacity, 0, 255);
    if (opacity == opacity_)
        return;
    opacity_ = opacity;
    emit Changed();
}
