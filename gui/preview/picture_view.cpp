#include "gui/preview/picture_view.h"

#include <QPainter>

namespace gui {

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Image_Pic"));
    setAttribute(Qt::WA_TranslucentBackground);
}

void PictureView::SetPicture(const QImage& picture, const QRect& rect) {
    setGeometry(rect);
    scaled_ = picture.size() == rect.size()
                  ? picture
                  : picture.scaled(rect.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    update();
}

void PictureView::Clear() {
    scaled_ = QImage();
    update();
}

void PictureView::paintEvent(QPaintEvent*) {
    if (scaled_.isNull())
        return;
    QPainter p(this);
    p.drawImage(QPoint(0, 0), scaled_);
}

} // namespace gui
