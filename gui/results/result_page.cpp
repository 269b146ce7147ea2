#include "gui/results/result_page.h"

#include "gui/app/texts.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin.h"
#include "gui/widgets/skin_label.h"
#include "volume/helpers.h"

namespace gui {

TFrm_Result::TFrm_Result(MessageHub& hub, const TLanUse& language, std::function<void()> openAbout, QWidget* parent)
    : SkinPage(hub, language, std::move(openAbout), parent),
      back_(new RdImgButton(RdImgButton::Look::Secondary, Body())),
      header_(new RdLabel(Body())) {
    header_->setObjectName(QStringLiteral("RdLabel_Result_Complete"));
    header_->setFont(skin::Font(16));
    header_->setGeometry(24, 76, 900, 30);
    setObjectName(QStringLiteral("Frm_Result"));
    back_->setObjectName(QStringLiteral("RdImgBtn_Back"));
    back_->SetCaption(Tr(language, "M_BACK", "Back"));
    back_->move(24, 20);
    back_->resize(back_->sizeHint());
    connect(back_, &QPushButton::clicked, this, [this] { hub_.Post(kMsgBackToStart); });
}

void TFrm_Result::LoadResults(uint32_t foundCount, int64_t totalSize) {
    QString text = Tr(language_, "M_ScanResult", "Deleted files found: %s1 %s2 %s3");
    text.replace(QLatin1String("%s1"), QStringLiteral("<a>%1</a>").arg(foundCount), Qt::CaseInsensitive);
    text.replace(QLatin1String("%s2"), QStringLiteral("<a>%1</a>").arg(Tr(language_, "M_Files", "files")),
                 Qt::CaseInsensitive);
    text.replace(QLatin1String("%s3"), QStringLiteral("<a>(%1)</a>").arg(FromUtf8(volume::SizeText(totalSize))),
                 Qt::CaseInsensitive);
    header_->SetMarkedText(text);
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
