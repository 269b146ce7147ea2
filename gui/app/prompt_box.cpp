#include "gui/app/prompt_box.h"

#include <QKeyEvent>
#include <QLayout>
#include <QLabel>

#include "gui/common/message_hub.h"
#include "gui/common/texts.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin.h"
#include "gui/widgets/skin_label.h"
#include "gui/widgets/title_bar.h"

namespace gui {
namespace {
constexpr QSize kDesignSize(411, 213);
constexpr QSize kIconSize(48, 48);
constexpr int kMainWidth = 960, kMainHeight = 660;
constexpr int kIconLeft = 28, kTextGap = 22, kButtonBottom = 16;
} // namespace

PromptBox::PromptBox(MessageHub& hub, const TLanUse& language, std::function<PromptFacts()> facts, QWidget* anchor)
    : RdFormFrame(RdTitleBar::Close, anchor),
      hub_(hub),
      language_(language),
      facts_(std::move(facts)),
      anchor_(anchor),
      icon_(new QLabel(Body())),
      text_(new RdLabel(Body())) {
    TitleBar()->SetTitle(AppTitle());
    TitleBar()->SetHints(Tr(language, "M_Close", "Close"), {}, {});
    text_->setObjectName(QStringLiteral("RdLabel_Text"));
    connect(this, &RdFormFrame::CloseRequested, this, [this] { Decline(); });
    resize(kDesignSize);
}

QString PromptBox::Text() const { return text_->text(); }

void PromptBox::SetIcon(const QString& art) { icon_->setPixmap(skin::Art(art, kIconSize)); }

RdImgButton* PromptBox::AddButton(bool primary, const QString& name, const QString& caption) {
    auto* button = new RdImgButton(primary ? RdImgButton::Look::Primary : RdImgButton::Look::Secondary, Body());
    button->setObjectName(name);
    button->SetCaption(caption);
    (primary ? defaultButton_ : otherButton_) = button;
    connect(button, &QPushButton::clicked, this, [this, primary] { primary ? Accept() : Decline(); });
    // Tab order: the default answer first, then the other, then the title's close.
    if (otherButton_ && defaultButton_)
        setTabOrder(defaultButton_, otherButton_);
    return button;
}

void PromptBox::Present(const QString& text, int textWidth, int textSlack, int iconSlack) {
    text_->SetMarkedText(text);
    const int labelHeight = text_->heightForWidth(textWidth);
    // The design size, taller only when a translation needs more lines than it holds.
    const int buttonsTop = kDesignSize.height() - kButtonBottom - 34;
    const int needed = skin::kTitleHeight + 12 + labelHeight + 12 + (kDesignSize.height() - buttonsTop);
    resize(kDesignSize.width(), std::max(kDesignSize.height(), needed + textSlack / 2));
    // The body's place below the title bar is known only once the layout has run.
    layout()->activate();
    const int boxHeight = height();
    // Positions are in the box's coordinates; the body starts below the title bar.
    const int bodyTop = Body()->y();
    const int textLeft = kIconLeft + kIconSize.width() + kTextGap;
    const int room = width() - textLeft - kIconLeft;
    const int textTop = std::max(bodyTop + 8, (boxHeight - labelHeight - textSlack) / 2);
    text_->setGeometry(textLeft + (room - textWidth) / 2, textTop - bodyTop, textWidth, labelHeight);
    icon_->setGeometry(kIconLeft, (boxHeight - kIconSize.height() - iconSlack) / 2 - bodyTop, kIconSize.width(),
                       kIconSize.height());
    int right = width() - 2 - 20;
    for (RdImgButton* button : {otherButton_, defaultButton_}) {
        if (!button)
            continue;
        const QSize size = button->sizeHint();
        right -= size.width();
        button->setGeometry(right, boxHeight - kButtonBottom - size.height() - bodyTop, size.width(), size.height());
        right -= 12;
    }
    // The middle of the main window's 960 × 660 area (halves toward zero).
    if (anchor_) {
        const QPoint origin = anchor_->frameGeometry().topLeft();
        move(origin.x() + (kMainWidth - width()) / 2, origin.y() + (kMainHeight - height()) / 2);
    }
}

void PromptBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        Decline();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A focused button takes its own Enter; anywhere else Enter is the default answer.
        Accept();
        return;
    default:
        RdFormFrame::keyPressEvent(event);
    }
}

TFMsgBox_ScanRecoHelp::TFMsgBox_ScanRecoHelp(MessageHub& hub, const TLanUse& language,
                                             std::function<PromptFacts()> facts, QWidget* anchor)
    : PromptBox(hub, language, std::move(facts), anchor) {
    setObjectName(QStringLiteral("FMsgBox_ScanRecoHelp"));
    AddButton(true, QStringLiteral("RdImgBtn_OK"), Tr(language, "M_OK", "OK"));
    SetIcon(QStringLiteral("notice"));
}

void TFMsgBox_ScanRecoHelp::ShowNotice(Notice kind) {
    kind_ = kind;
    setWindowTitle(AppTitle());
    Present(NoticeText(language_, kind, facts_ ? facts_() : PromptFacts{}), 248, 19, 15);
}

namespace {
// Notices 6 and 7 (no room, a folder that cannot be written) lead back to
// the folder dialog; the others only close.
bool LeadsBackToTheDialog(Notice kind) { return kind == Notice::NoRoom || kind == Notice::ReadOnlyFolder; }
} // namespace

void TFMsgBox_ScanRecoHelp::Accept() {
    if (LeadsBackToTheDialog(Kind())) {
        hub_.Post(Msg::ChooseDestination);
        hide();
        return;
    }
    hub_.PostNoticeAnswered(true);
}

void TFMsgBox_ScanRecoHelp::Decline() {
    if (LeadsBackToTheDialog(Kind())) {
        hub_.Post(Msg::ChooseDestination);
        hide();
        return;
    }
    hub_.PostNoticeAnswered(false);
}

TFMsgBox_RecoverSelect::TFMsgBox_RecoverSelect(MessageHub& hub, const TLanUse& language,
                                               std::function<PromptFacts()> facts, QWidget* anchor)
    : PromptBox(hub, language, std::move(facts), anchor) {
    setObjectName(QStringLiteral("FMsgBox_RecoverSelect"));
    AddButton(true, QStringLiteral("RdImgBtn_Yes"), Tr(language, "M_YES", "Yes"));
    AddButton(false, QStringLiteral("RdImgBtn_No"), Tr(language, "M_Cancel", "Cancel"));
    SetIcon(QStringLiteral("question"));
}

void TFMsgBox_RecoverSelect::ShowQuestion(Question kind) {
    kind_ = kind;
    setWindowTitle(AppTitle());
    // Questions 6 and 8 are offers rather than a yes or no: their buttons say what they do.
    if (kind == Question::SearchWholeImage) {
        DefaultButton()->SetCaption(Tr(language_, "M_SearchWholeImage", "Search the whole image"));
        OtherButton()->SetCaption(Tr(language_, "M_Close", "Close"));
    } else if (kind == Question::DeepScanWholeImage) {
        DefaultButton()->SetCaption(Tr(language_, "M_DeepScanImage", "Deep scan"));
        OtherButton()->SetCaption(Tr(language_, "M_Close", "Close"));
    } else {
        DefaultButton()->SetCaption(Tr(language_, "M_YES", "Yes"));
        OtherButton()->SetCaption(Tr(language_, "M_Cancel", "Cancel"));
    }
    Present(QuestionText(language_, kind, facts_ ? facts_() : PromptFacts{}), 278, 28, 24);
    show();
    raise();
    activateWindow();
    DefaultButton()->setFocus();
}

namespace {
// What each question's YES and NO post.
struct QuestionAnswers {
    Question kind;
    HubMessage yes;
    HubMessage no;
};
const QuestionAnswers kAnswers[] = {
    {Question::RecoverOntoSource, {HubTarget::MainWindow, Msg::RecoverOntoSource}, {HubTarget::MainWindow, Msg::ChooseOtherFolder}},
    {Question::StopRecovery, {HubTarget::MainWindow, Msg::StopRecovery}, {HubTarget::MainWindow, Msg::GoOnRecovering}},
    {Question::ExitDuringScan, {HubTarget::MainWindow, Msg::ExitDuringScan}, {HubTarget::MainWindow, Msg::StayOpen}},
    {Question::ExitLeavingResults, {HubTarget::MainWindow, Msg::LeaveResults}, {HubTarget::MainWindow, Msg::StayOpen}},
    {Question::BackLeavingResults, BackAnswer(true), BackAnswer(false)},
    {Question::SearchWholeImage, {HubTarget::MainWindow, Msg::SearchWholeImage}, {HubTarget::MainWindow, Msg::StayOpen}},
    {Question::RestartAsAdministrator, {HubTarget::MainWindow, Msg::RestartAsAdministrator}, {HubTarget::MainWindow, Msg::StayOpen}},
    {Question::DeepScanWholeImage, {HubTarget::MainWindow, Msg::DeepScanWholeImage}, {HubTarget::MainWindow, Msg::StayOpen}},
};
} // namespace

void TFMsgBox_RecoverSelect::Accept() {
    for (const QuestionAnswers& answers : kAnswers)
        if (answers.kind == Kind())
            hub_.Post(answers.yes);
}

void TFMsgBox_RecoverSelect::Decline() {
    for (const QuestionAnswers& answers : kAnswers)
        if (answers.kind == Kind())
            hub_.Post(answers.no);
}

} // namespace gui
