#include "gui/widgets/window_drag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace skin {
namespace {

// Follows the mouse for one drag, then removes itself.
class FollowMouse : public QObject {
public:
    FollowMouse(QWidget* window, const QPointF& pressGlobal)
        : window_(window), start_(pressGlobal), origin_(window->pos()) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseMove && window_) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->buttons() & Qt::LeftButton) {
                window_->move(origin_ + (mouse->globalPosition() - start_).toPoint());
                return false;
            }
        }
        if (event->type() == QEvent::MouseButtonRelease || !window_)
            deleteLater();
        return false;
    }

private:
    QPointer<QWidget> window_;
    QPointF start_;
    QPoint origin_;
};

} // namespace

void BeginWindowDrag(QWidget* window, const QPointF& pressGlobal) {
    if (!window)
        return;
    if (QWindow* handle = window->windowHandle(); handle && handle->startSystemMove())
        return;
    qApp->installEventFilter(new FollowMouse(window, pressGlobal));
}

} // namespace skin
