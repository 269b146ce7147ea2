#include "gui/preview/loading_sign.h"

#include <QPainter>

#include "gui/widgets/skin.h"

namespace gui {

LoadingSign::LoadingSign(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ImageNote_Loading"));
    setFixedSize(kSize, kSize);
    setAttribute(Qt::WA_TranslucentBackground);
}

void LoadingSign::SetFrame(int frame) {
    if (frame == frame_)
        return;
    frame_ = frame;
    update();
}

void LoadingSign::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.translate(width() / 2.0, height() / 2.0);
    p.rotate(360.0 * frame_ / kFrames);
    const QSize size(kSize - 6, kSize - 6);
    p.drawPixmap(QRect(QPoint(-size.width() / 2, -size.height() / 2), size), skin::Art(QStringLiteral("spinner"), size));
}

} // namespace gui
