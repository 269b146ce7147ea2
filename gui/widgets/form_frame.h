#pragma once
// The frameless skinned window: a title bar with the window's title and its
// close (and optionally minimize) button, a body below, a thin border. The
// title bar and the body's background move the window; Esc acts as the close
// button.
#include <QWidget>

class RdTitleBar;

class RdFormFrame : public QWidget {
    Q_OBJECT
public:
    RdFormFrame(int titleButtons, QWidget* parent = nullptr);

    RdTitleBar* TitleBar() const { return title_; }
    // Where the window puts its controls.
    QWidget* Body() const { return body_; }

signals:
    // The close button or Esc.
    void CloseRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    RdTitleBar* title_;
    QWidget* body_;
};
