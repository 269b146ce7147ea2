#include "gui/results/search_box.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "gui/widgets/image_button.h"
#include "gui/widgets/skin.h"

namespace gui {

namespace {
// Where the box stands in each look, and how wide it is.
constexpr int kIdleLeft = 30, kIdleWidth = 205;
constexpr int kActiveLeft = 9, kActiveWidth = 201;
constexpr int kHeight = 32;
} // namespace

void SearchEdit::mousePressEvent(QMouseEvent* event) {
    emit Pressed();
    QLineEdit::mousePressEvent(event);
}

void SearchEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (parentWidget())
        parentWidget()->update();  // the panel's edge shows the focus
}

void SearchEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (parentWidget())
        parentWidget()->update();
    emit FocusLost();
}

SearchBox::SearchBox(const QString& placeholder, const QString& clearHint, QWidget* parent)
    : QWidget(parent),
      placeholder_(placeholder),
      magnifier_(new RdImgButton(RdImgButton::Look::TitleGlyph, this)),
      edit_(new SearchEdit(this)),
      clear_(new RdImgButton(RdImgButton::Look::TitleGlyph, this)) {
    setObjectName(QStringLiteral("Panel_Search"));
    setFixedSize(kIdleLeft + kIdleWidth + 28, kHeight);
    magnifier_->setObjectName(QStringLiteral("Image_Q"));
    magnifier_->SetArt(QStringLiteral("search"));
    magnifier_->SetHint(placeholder);
    magnifier_->setGeometry(4, (kHeight - 24) / 2, 24, 24);
    edit_->setObjectName(QStringLiteral("Edit_Search"));
    edit_->setAccessibleName(placeholder);
    edit_->setFrame(false);
    edit_->setFont(skin::Font(13));
    edit_->setFocusPolicy(Qt::StrongFocus);
    clear_->setObjectName(QStringLiteral("RdImageBtn_X"));
    clear_->SetArt(QStringLiteral("clear"));
    clear_->SetHint(clearHint);
    clear_->setGeometry(width() - 28, (kHeight - 24) / 2, 24, 24);
    connect(edit_, &QLineEdit::textChanged, this, [this] {
        UpdateClearButton();
        if (!ownChange_)
            emit TextChanged();
    });
    IdleLook();
}

bool SearchBox::HoldsSearch() const { return !edit_->text().isEmpty() && edit_->text() != placeholder_; }

void SearchBox::SetText(const QString& text) {
    ownChange_ = true;
    edit_->setText(text);
    ownChange_ = false;
}

void SearchBox::IdleLook() {
    active_ = false;
    if (!HoldsSearch()) {
        magnifier_->show();
        edit_->setGeometry(kIdleLeft, 1, kIdleWidth, kHeight - 2);
        if (edit_->text().isEmpty())
            SetText(placeholder_);
    }
    QPalette palette = edit_->palette();
    palette.setColor(QPalette::Text, HoldsSearch() ? skin::Colors().text : skin::Colors().mutedText);
    palette.setColor(QPalette::Base, skin::Colors().panel);
    edit_->setPalette(palette);
    UpdateClearButton();
}

void SearchBox::ActiveLook() {
    active_ = true;
    magnifier_->hide();
    edit_->setGeometry(kActiveLeft, 1, kActiveWidth, kHeight - 2);
    if (edit_->text() == placeholder_)
        SetText(QString());
    QPalette palette = edit_->palette();
    palette.setColor(QPalette::Text, skin::Colors().text);
    edit_->setPalette(palette);
    UpdateClearButton();
}

void SearchBox::UpdateClearButton() { clear_->setVisible(HoldsSearch()); }

void SearchBox::paintEvent(QPaintEvent*) {
    const skin::Palette& c = skin::Colors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), skin::kRadius, skin::kRadius);
    p.fillPath(shape, c.panel);
    p.setPen(QPen(edit_->hasFocus() ? c.primary : c.border, edit_->hasFocus() ? 1.5 : 1));
    p.drawPath(shape);
}

} // namespace gui
