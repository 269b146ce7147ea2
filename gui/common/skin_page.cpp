#include "gui/common/skin_page.h"

#include <QPainter>
#include <QVBoxLayout>

#include "gui/common/message_hub.h"
#include "gui/common/texts.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/popup_menu.h"
#include "gui/widgets/skin.h"
#include "gui/widgets/title_bar.h"

namespace gui {

SkinPage::SkinPage(MessageHub& hub, const TLanUse& language, std::function<void()> openAbout, QWidget* parent)
    : QWidget(parent),
      hub_(hub),
      language_(language),
      title_(new RdTitleBar(RdTitleBar::Close | RdTitleBar::Minimize | RdTitleBar::Options, this)),
      body_(new QWidget(this)),
      menu_(new RdPopupMenu(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(title_);
    layout->addWidget(body_, 1);
    title_->SetTitle(AppTitle());
    title_->SetHints(Tr(language, "M_Close", "Close"), Tr(language, "M_Mini", "Minimize"),
                     Tr(language, "M_Option", "Options"));
    connect(title_, &RdTitleBar::CloseClicked, this, [this] { hub_.Post(Msg::CloseRequest); });
    connect(title_, &RdTitleBar::MinimizeClicked, this, [this] { hub_.Post(Msg::Minimize); });
    connect(title_, &RdTitleBar::TitlePressed, this, [this] { hub_.Send(Msg::DragWindow); });

    QAction* settings = menu_->addAction(Tr(language, "M_MenuSettings", "Settings…"));
    settings->setObjectName(QStringLiteral("MenuItem_Settings"));
    connect(settings, &QAction::triggered, this, [this] { hub_.Post(Msg::OpenSettings); });
    QAction* about = menu_->addAction(Tr(language, "M_MenuAbout", "About"));
    about->setObjectName(QStringLiteral("MenuItem_About"));
    connect(about, &QAction::triggered, this, [openAbout = std::move(openAbout)] {
        if (openAbout)
            openAbout();
    });
    connect(title_, &RdTitleBar::OptionsClicked, this, [this] {
        RdImgButton* button = title_->OptionsButton();
        menu_->popup(button->mapToGlobal(QPoint(button->width() - menu_->sizeHint().width(), button->height())));
    });
}

void SkinPage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), skin::Colors().page);
}

} // namespace gui
