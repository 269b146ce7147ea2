#pragma once
// The start page: where the user chooses what to look for and starts a scan.
// For now the skinned page with its title bar; the type switches, the
// location chooser and the progress ring come with the start page's own work.
#include "gui/app/skin_page.h"

namespace gui {

class TFrm_Choose : public SkinPage {
    Q_OBJECT
public:
    TFrm_Choose(MessageHub& hub, const TLanUse& language, std::function<void()> openAbout, QWidget* parent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

} // namespace gui
