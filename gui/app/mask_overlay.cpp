#include "gui/app/mask_overlay.h"

#include <QMouseEvent>
#include <QPainter>

#include "gui/common/message_hub.h"
#include "gui/widgets/skin.h"

namespace gui {

TFrm_Mask::TFrm_Mask(MessageHub& hub, QWidget* parent) : QWidget(parent), hub_(hub) {
    setObjectName(QStringLiteral("Frm_Mask"));
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
}

void TFrm_Mask::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), skin::Colors().overlay);
}

void TFrm_Mask::mousePressEvent(QMouseEvent* event) {
    // Dimming stays: the window in front still waits for its answer, and a
    // click beside it only brings the main window (and with it that window) up.
    if (event->button() == Qt::LeftButton)
        hub_.Dim();
}

} // namespace gui
