#include "gui/settings/settings_window.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "gui/common/texts.h"
#include "gui/common/window_translator.h"
#include "gui/widgets/check_box.h"
#include "gui/widgets/check_list.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin.h"
#include "gui/widgets/skin_label.h"
#include "gui/widgets/title_bar.h"
#include "platform/folders.h"
#include "shell/ini_file.h"
#include "shell/language.h"

namespace gui {
namespace {

RdLabel* HeadingLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new RdLabel(parent);
    label->setObjectName(name);
    label->setFont(skin::Font(13, true));
    label->SetMarkedText(text);
    return label;
}

RdCheckBox* Choice(RdCheckBox::Look look, const QString& name, const QString& text, QWidget* parent) {
    auto* box = new RdCheckBox(look, parent);
    box->setObjectName(name);
    box->setText(text);
    box->setAccessibleName(text);
    return box;
}

} // namespace

QString TFrm_RecoverySetting::MainIniPath() { return FromUtf8(platform::DataFolder()) + QStringLiteral("Main.ini"); }

TFrm_RecoverySetting::TFrm_RecoverySetting(QWidget* mainWindow)
    : RdFormFrame(RdTitleBar::Close, mainWindow),
      translator_(std::make_unique<TLanguage>("Recovery")),
      languageLabel_(HeadingLabel(QStringLiteral("Label_Language"), QStringLiteral("Language"), Body())),
      languages_(new RdCheckList(false, Body())),
      skipUac_(Choice(RdCheckBox::Look::Toggle, QStringLiteral("CheckBox_SkipUAC"),
                      QStringLiteral("Skip User Account Control warning"), Body())),
      updateLabel_(HeadingLabel(QStringLiteral("Label_Update"), QStringLiteral("Updates"), Body())),
      autoUpdate_(Choice(RdCheckBox::Look::Box, QStringLiteral("CheckBox_AutoUpdate"),
                         QStringLiteral("Update automatically"), Body())),
      notify_(Choice(RdCheckBox::Look::Box, QStringLiteral("CheckBox_Notify"),
                     QStringLiteral("Notify me when updates are available"), Body())),
      ok_(new RdImgButton(RdImgButton::Look::Primary, Body())),
      cancel_(new RdImgButton(RdImgButton::Look::Secondary, Body())) {
    setObjectName(QStringLiteral("Frm_RecoverySetting"));
    setWindowTitle(QStringLiteral("Settings"));
    languages_->setObjectName(QStringLiteral("ListBox_Language"));
    languages_->setAccessibleName(QStringLiteral("Language"));
    languages_->setFixedHeight(96);
    ok_->setObjectName(QStringLiteral("RdImgBtn_OK"));
    ok_->SetCaption(QStringLiteral("OK"));
    cancel_->setObjectName(QStringLiteral("RdImgBtn_Cancel"));
    cancel_->SetCaption(QStringLiteral("Cancel"));
    TitleBar()->CloseButton()->setObjectName(QStringLiteral("RdImgBtn_Close"));
    TitleBar()->SetHints(QStringLiteral("Close"), {}, {});

    auto* layout = new QVBoxLayout(Body());
    layout->setContentsMargins(28, 20, 28, 20);
    layout->setSpacing(8);
    layout->addWidget(languageLabel_);
    layout->addWidget(languages_);
    layout->addSpacing(6);
    layout->addWidget(skipUac_);
    layout->addSpacing(10);
    layout->addWidget(updateLabel_);
    layout->addWidget(autoUpdate_);
    layout->addWidget(notify_);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addSpacing(12);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);

    // What Main.ini holds; a missing file or key gives the defaults.
    TSafeIniFile ini;
    ini.Load(ToUtf8(MainIniPath()));
    skipUac_->setChecked(ini.ReadString("main", "SkipUAC", "1") == "1");
    autoUpdate_->setChecked(true);
    const std::string update = ini.ReadString("Main", "autoupdate", "1");
    if (update == "1" || update == "0") {
        autoUpdate_->setChecked(update == "1");
        notify_->setChecked(update == "0");
    }
    for (const std::string& display : translator_->DisplayNames)
        languages_->AddRow(FromUtf8(display));
    currentLanguage_ = FromUtf8(ini.ReadString("Main", "Language", "English"));
    translator_->LoadLanguage(ToUtf8(currentLanguage_));
    TranslateWindow(*this, *translator_);
    languages_->setAccessibleName(languageLabel_->text());

    // One of the two update choices always stands.
    connect(notify_, &QAbstractButton::clicked, this, [this](bool checked) {
        if (checked)
            autoUpdate_->setChecked(false);
        else
            notify_->setChecked(true);
    });
    connect(autoUpdate_, &QAbstractButton::clicked, this, [this](bool checked) {
        if (checked)
            notify_->setChecked(false);
        else
            autoUpdate_->setChecked(true);
    });
    connect(ok_, &QPushButton::clicked, this, [this] {
        Store();
        close();
    });
    connect(cancel_, &QPushButton::clicked, this, &QWidget::close);
    connect(this, &RdFormFrame::CloseRequested, this, &QWidget::close);

    setTabOrder(languages_, skipUac_);
    setTabOrder(skipUac_, autoUpdate_);
    setTabOrder(autoUpdate_, notify_);
    setTabOrder(notify_, ok_);
    setTabOrder(ok_, cancel_);
    setTabOrder(cancel_, TitleBar()->CloseButton());
    resize(460, 400);
}

TFrm_RecoverySetting::~TFrm_RecoverySetting() = default;

void TFrm_RecoverySetting::SelectCurrentLanguage() {
    languages_->clearSelection();
    languages_->setCurrentRow(-1);
    int chosen = -1;
    for (int i = 0; i < languages_->count() && chosen < 0; ++i)
        if (languages_->item(i)->text().contains(currentLanguage_))
            chosen = i;
    for (int i = 0; i < languages_->count() && chosen < 0; ++i)
        if (languages_->item(i)->text() == currentLanguage_)
            chosen = i;
    if (chosen >= 0)
        languages_->setCurrentRow(chosen);
}

void TFrm_RecoverySetting::Open() {
    SelectCurrentLanguage();
    if (QWidget* main = parentWidget())
        move(main->frameGeometry().left() + (960 - width()) / 2, main->frameGeometry().top() + (660 - height()) / 2);
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    languages_->setFocus();
}

void TFrm_RecoverySetting::Store() {
    TSafeIniFile ini;
    const std::string path = ToUtf8(MainIniPath());
    ini.Load(path);
    ini.WriteString("main", "SkipUAC", skipUac_->isChecked() ? "1" : "0");
    // The chosen entry is a display name; Main.ini keeps its file's name.
    const int row = languages_->currentRow();
    if (row >= 0 && static_cast<size_t>(row) < translator_->DisplayNames.size() &&
        languages_->item(row)->isSelected())
        ini.WriteString("Main", "Language", translator_->Names[static_cast<size_t>(row)]);
    ini.WriteString("Main", "autoupdate", autoUpdate_->isChecked() ? "1" : "0");
    ini.Save(path);
}

} // namespace gui
