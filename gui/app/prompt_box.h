#pragma once
// What the notice box and the question box share: a small skinned window
// with the application's title, an icon, a text and one or two buttons,
// shown over the middle of the main window without blocking anything. The
// boxes never act themselves: their buttons post messages through the hub.
#include <functional>

#include "gui/app/prompt_texts.h"
#include "gui/widgets/form_frame.h"

class QLabel;
class RdImgButton;
class RdLabel;
class TLanUse;

namespace gui {

class MessageHub;

class PromptBox : public RdFormFrame {
    Q_OBJECT
public:
    // `anchor` is the main window the box is centred on; `facts` tells the
    // texts about the current recovery job.
    PromptBox(MessageHub& hub, const TLanUse& language, std::function<PromptFacts()> facts, QWidget* anchor);

    QString Text() const;
    RdImgButton* DefaultButton() const { return defaultButton_; }
    RdImgButton* OtherButton() const { return otherButton_; }

protected:
    // `textWidth` at most, laid out after the box's formulas.
    void Present(const QString& text, int textWidth, int textSlack, int iconSlack);
    RdImgButton* AddButton(bool primary, const QString& name, const QString& caption);
    void SetIcon(const QString& art);
    void keyPressEvent(QKeyEvent* event) override;

    // The answers, each posting the message of the current kind.
    virtual void Accept() = 0;
    virtual void Decline() = 0;

    MessageHub& hub_;
    const TLanUse& language_;
    std::function<PromptFacts()> facts_;

private:
    QWidget* anchor_;
    QLabel* icon_;
    RdLabel* text_;
    RdImgButton* defaultButton_ = nullptr;
    RdImgButton* otherButton_ = nullptr;
};

// Notices 1 to 11, with one OK button.
class TFMsgBox_ScanRecoHelp : public PromptBox {
    Q_OBJECT
public:
    TFMsgBox_ScanRecoHelp(MessageHub& hub, const TLanUse& language, std::function<PromptFacts()> facts,
                          QWidget* anchor);
    // Sets the kind, the text and the layout; the caller shows the box.
    void ShowNotice(Notice kind);
    Notice Kind() const { return kind_; }

protected:
    void Accept() override;
    void Decline() override;

private:
    Notice kind_ = Notice::None;
};

// Questions 1 to 6, with YES and NO (question 6 names its buttons after what they do).
class TFMsgBox_RecoverSelect : public PromptBox {
    Q_OBJECT
public:
    TFMsgBox_RecoverSelect(MessageHub& hub, const TLanUse& language, std::function<PromptFacts()> facts,
                           QWidget* anchor);
    // Sets the kind, the text and the layout, and shows the box.
    void ShowQuestion(Question kind);
    Question Kind() const { return kind_; }

protected:
    void Accept() override;
    void Decline() override;

private:
    Question kind_ = Question::None;
};

} // namespace gui
