#pragma once
// The rotating-picture animator: while it runs it turns its angle by a step
// on every tick; it also carries an opacity. A control draws its picture (a
// glow, a ring, a spinner) at the animator's angle and opacity, and repaints
// on Changed.
#include <QObject>
#include <QTimer>

class RdRotatingPicture : public QObject {
    Q_OBJECT
public:
    RdRotatingPicture(int stepDegrees, int intervalMs, QObject* parent = nullptr);

    void SetRunning(bool running);
    bool Running() const { return timer_.isActive(); }
    int Angle() const { return angle_; }
    void SetAngle(int degrees);
    // 0 (invisible) to 255 (opaque).
    int Opacity() const { return opacity_; }
    void SetOpacity(int opacity);

signals:
    void Changed();

private:
    QTimer timer_;
    int step_;
    int angle_ = 0;
    int opacity_ = 255;
};
