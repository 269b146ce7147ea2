#include "gui/settings/about_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "gui/common/message_hub.h"
#include "gui/common/texts.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin.h"
#include "gui/widgets/skin_label.h"
#include "gui/widgets/title_bar.h"

namespace gui {

QString ProgramVersion() { return QStringLiteral(DUNRO_VERSION); }

TFrm_About::TFrm_About(MessageHub& hub, const TLanUse& language, QWidget* mainWindow)
    : RdFormFrame(RdTitleBar::Close, mainWindow),
      hub_(hub),
      title_(new RdLabel(Body())),
      version_(new RdLabel(Body())),
      description_(new RdLabel(Body())),
      ok_(new RdImgButton(RdImgButton::Look::Primary, Body())) {
    setObjectName(QStringLiteral("Frm_About"));
    const QString caption = Tr(language, "M_MenuAbout", "About");
    setWindowTitle(caption);
    TitleBar()->SetTitle(caption);
    TitleBar()->SetHints(Tr(language, "M_Close", "Close"), {}, {});

    auto* logo = new QLabel(Body());
    logo->setPixmap(skin::Art(QStringLiteral("logo"), {64, 64}));
    logo->setFixedSize(64, 64);
    title_->setObjectName(QStringLiteral("RdLabel_Title"));
    title_->setFont(skin::Font(20, true));
    title_->SetMarkedText(AppTitle());
    version_->setObjectName(QStringLiteral("RdLabel_Version"));
    version_->SetColor(skin::Colors().mutedText);
    version_->SetMarkedText(Tr(language, "M_AboutVersion", "Version %s").replace(QLatin1String("%s"), ProgramVersion()));
    description_->setObjectName(QStringLiteral("RdLabel_Description"));
    description_->SetMarkedText(Tr(language, "M_AboutText",
                                   "Finds deleted files on NTFS, FAT and exFAT drives and copies them to a folder you "
                                   "choose. It only reads the drives it scans and <a>never writes to them</a>."));
    ok_->setObjectName(QStringLiteral("RdImgBtn_OK"));
    ok_->SetCaption(Tr(language, "M_OK", "OK"));

    auto* layout = new QVBoxLayout(Body());
    layout->setContentsMargins(28, 22, 28, 20);
    layout->setSpacing(6);
    auto* head = new QHBoxLayout;
    head->setSpacing(18);
    head->addWidget(logo, 0, Qt::AlignTop);
    auto* words = new QVBoxLayout;
    words->setSpacing(4);
    words->addWidget(title_);
    words->addWidget(version_);
    words->addSpacing(8);
    words->addWidget(description_);
    head->addLayout(words, 1);
    layout->addLayout(head);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    layout->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, &TFrm_About::Dismiss);
    connect(this, &RdFormFrame::CloseRequested, this, &TFrm_About::Dismiss);
    resize(460, 280);
}

void TFrm_About::Open() {
    hub_.Dim();
    if (QWidget* main = parentWidget())
        move(main->frameGeometry().left() + (960 - width()) / 2, main->frameGeometry().top() + (660 - height()) / 2);
    show();
    raise();
    activateWindow();
    ok_->setFocus();
}

void TFrm_About::Dismiss() {
    hide();
    hub_.Undim();
}

} // namespace gui
