#pragma once
// A hint balloon: a rounded note with a pointer that shows next to a control
// and hides itself after a while or when clicked.
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
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString text_;
    QTimer hideTimer_;
};
