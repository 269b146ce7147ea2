#pragma once
// A hint balloon: a rounded note with a pointer that shows next to a control
// and hides itself after a while or when clicked. Its window is cut to its
// outline, so that the corners and the room beside the pointer show what lies
// below, with or without a compositing window manager.
#include <QPainterPath>
#include <QTimer>
#include <QWidget>

class RdHintBalloon : public QWidget {
    Q_OBJECT
public:
    explicit RdHintBalloon(QWidget* parent = nullptr);

    // Shows `text` with the pointer at `anchor` (global coordinates), for `ms` (0: until clicked).
    void ShowAt(const QPoint& anchor, const QString& text, int ms = 5000);
    QString Text() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // The note and its pointer, in the balloon's coordinates.
    QPainterPath Outline() const;
    QRectF Body() const;
    QString text_;
    QTimer hideTimer_;
};
