#include "gui/results/result_page.h"

#include "gui/app/texts.h"
#include "gui/widgets/image_button.h"

namespace gui {

TFrm_Result::TFrm_Result(MessageHub& hub, const TLanUse& language, std::function<void()> openAbout, QWidget* parent)
    : SkinPage(hub, language, std::move(openAbout), parent), back_(new RdImgButton(RdImgButton::Look::Secondary, Body())) {
    setObjectName(QStringLiteral("Frm_Result"));
    back_->setObjectName(QStringLiteral("RdImgBtn_Back"));
    back_->SetCaption(Tr(language, "M_BACK", "Back"));
    back_->move(24, 20);
    back_->resize(back_->sizeHint());
    connect(back_, &QPushButton::clicked, this, [this] { hub_.Post(kMsgBackToStart); });
}

void TFrm_Result::Receive(const HubMessage& message) {
    if (message.msg != kMsgLeaveResults)
        return;
    if (closeQuestion_)
        closeQuestion_();
    hub_.Send(kMsgDimming, 1);
    if (message.wparam == 1)
        hub_.Post(kMsgBackToStart);
}

} // namespace gui
