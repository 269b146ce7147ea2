#pragma once
// The SCAN/STOP button in the middle of its progress ring, with the three
// rotating-picture animators: a glow that turns slowly while the page waits,
// a brighter glow while the pointer is over the button, and the ring, whose
// highlight runs round while a scan works. Screen readers see the dial as a
// progress bar (its value is the ring's percent) holding a push button named
// by its caption.
#include <QProgressBar>
#include <QPushButton>

#include "gui/widgets/rotating_picture.h"

namespace gui {

class TScanButton : public QPushButton {
    Q_OBJECT
public:
    explicit TScanButton(QWidget* parent);
    // The look of a running scan (the button then stops it).
    void SetStopLook(bool stop);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    bool stopLook_ = false;
};

class TScanDial : public QProgressBar {
    Q_OBJECT
public:
    // The hover glow's opacity while the pointer is over the button.
    static constexpr int kHoverGlow = 76;

    explicit TScanDial(QWidget* parent);

    TScanButton* Button() const { return button_; }
    void SetCaption(const QString& caption);
    // The animators' running state (a scan under way) or idle state.
    void SetRunning(bool running);
    bool Running() const { return ring_.Running(); }
    // The hover glow follows the pointer: kHoverGlow over the button, else 0.
    void UpdateHoverGlow();
    int HoverGlow() const { return hoverGlow_.Opacity(); }

    QSize sizeHint() const override { return {220, 220}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TScanButton* button_;
    RdRotatingPicture normalGlow_;
    RdRotatingPicture hoverGlow_;
    RdRotatingPicture ring_;
};

} // namespace gui
