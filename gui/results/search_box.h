#pragma once
// The search box of the result page: the magnifier `Image_Q`, the edit box
// `Edit_Search` and the clear button `RdImageBtn_X` on one panel. It only
// draws its idle look (the placeholder in the dim colour beside the
// magnifier) and its active look (the box over the magnifier's place, text
// in the normal colour), and reports presses and the loss of focus; the page
// decides when each look applies.
#include <QLineEdit>
#include <QWidget>

class RdImgButton;

namespace gui {

class SearchEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

signals:
    void Pressed();
    void FocusLost();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

class SearchBox : public QWidget {
    Q_OBJECT
public:
    SearchBox(const QString& placeholder, const QString& clearHint, QWidget* parent = nullptr);

    SearchEdit* Edit() const { return edit_; }
    RdImgButton* Magnifier() const { return magnifier_; }
    RdImgButton* ClearButton() const { return clear_; }
    const QString& Placeholder() const { return placeholder_; }
    // The box holds text the user typed: neither empty nor the placeholder.
    bool HoldsSearch() const;
    // Puts text into the box without it counting as the user's (TextChanged stays quiet).
    void SetText(const QString& text);

    // Unless the box holds a search: the magnifier shows, the box stands
    // beside it, and an empty box shows the placeholder, dimmed.
    void IdleLook();
    // The box over the magnifier's place, emptied when it held the placeholder.
    void ActiveLook();
    bool Active() const { return active_; }

signals:
    // The text changed by anything but the box's and the page's own doing:
    // typing, a paste, or a screen reader or test robot setting it.
    void TextChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void UpdateClearButton();
    QString placeholder_;
    RdImgButton* magnifier_;
    SearchEdit* edit_;
    RdImgButton* clear_;
    bool active_ = false;
    bool ownChange_ = false;
};

} // namespace gui
