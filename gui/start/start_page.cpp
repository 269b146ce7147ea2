#include "gui/start/start_page.h"

#include <QMouseEvent>

#include "gui/app/message_hub.h"
#include "gui/app/texts.h"

namespace gui {

TFrm_Choose::TFrm_Choose(MessageHub& hub, const TLanUse& language, std::function<void()> openAbout, QWidget* parent)
    : SkinPage(hub, language, std::move(openAbout), parent) {
    setObjectName(QStringLiteral("Frm_Choose"));
    setAccessibleName(AppTitle());
}

void TFrm_Choose::mousePressEvent(QMouseEvent* event) {
    // The background tells the main window, which has nothing to do with it.
    if (event->button() == Qt::LeftButton)
        hub_.Send(kMsgStartPageBackground);
}

} // namespace gui
