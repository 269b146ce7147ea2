#include "gui/widgets/form_frame.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "gui/widgets/skin.h"
#include "gui/widgets/title_bar.h"
#include "gui/widgets/window_drag.h"

RdFormFrame::RdFormFrame(int titleButtons, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      title_(new RdTitleBar(titleButtons, this)),
      body_(new QWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(title_);
    layout->addWidget(body_, 1);
    connect(title_, &RdTitleBar::CloseClicked, this, &RdFormFrame::CloseRequested);
    connect(title_, &RdTitleBar::TitlePressed, this, [this](const QPointF& global) { skin::BeginWindowDrag(this, global); });
}

void RdFormFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), skin::Colors().page);
    p.setPen(skin::Colors().titleTop);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void RdFormFrame::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        skin::BeginWindowDrag(this, event->globalPosition());
}

void RdFormFrame::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit CloseRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}
