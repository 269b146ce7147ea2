#pragma once
// Moving a borderless window by one of its parts: the window manager's own
// move when the platform has one, else the window follows the mouse until
// the button is released.
class QWidget;
class QPointF;

namespace skin {
void BeginWindowDrag(QWidget* window, const QPointF& pressGlobal);
}
