#pragma once
// TFrm_Mask: the translucent layer that dims the main window while a box or
// another window is in front. A click on it tells the main window.
#include <QWidget>

namespace gui {

class MessageHub;

class TFrm_Mask : public QWidget {
    Q_OBJECT
public:
    TFrm_Mask(MessageHub& hub, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    MessageHub& hub_;
};

} // namespace gui
