#include "gui/widgets/title_bar.h"

#include <QMouseEvent>
#include <QPainter>

#include "gui/widgets/image_button.h"
#include "gui/widgets/skin.h"

namespace {
RdImgButton* GlyphButton(const QString& name, const QString& art, QWidget* parent) {
    auto* button = new RdImgButton(RdImgButton::Look::TitleGlyph, parent);
    button->setObjectName(name);
    button->SetArt(art);
    return button;
}
} // namespace

RdTitleBar::RdTitleBar(int buttons, QWidget* parent) : QWidget(parent) {
    setFixedHeight(skin::kTitleHeight);
    if (buttons & Options) {
        options_ = GlyphButton(QStringLiteral("RdImgBtn_Options"), QStringLiteral("options"), this);
        connect(options_, &QPushButton::clicked, this, &RdTitleBar::OptionsClicked);
    }
    if (buttons & Minimize) {
        minimize_ = GlyphButton(QStringLiteral("RdImgBtn_Minimize"), QStringLiteral("minimize"), this);
        connect(minimize_, &QPushButton::clicked, this, &RdTitleBar::MinimizeClicked);
    }
    if (buttons & Close) {
        close_ = GlyphButton(QStringLiteral("RdImgBtn_Close"), QStringLiteral("close"), this);
        connect(close_, &QPushButton::clicked, this, &RdTitleBar::CloseClicked);
    }
}

void RdTitleBar::SetTitle(const QString& title) {
    title_ = title;
    setAccessibleName(title);
    update();
}

void RdTitleBar::SetHints(const QString& close, const QString& minimize, const QString& options) {
    if (close_)
        close_->SetHint(close);
    if (minimize_)
        minimize_->SetHint(minimize);
    if (options_)
        options_->SetHint(options);
}

void RdTitleBar::resizeEvent(QResizeEvent*) {
    int right = width() - 8;
    for (RdImgButton* button : {close_, minimize_, options_}) {
        if (!button)
            continue;
        const QSize size = button->sizeHint();
        right -= size.width();
        button->setGeometry(right, (height() - size.height()) / 2, size.width(), size.height());
        right -= 2;
    }
}

void RdTitleBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit TitlePressed(event->globalPosition());
}

void RdTitleBar::paintEvent(QPaintEvent*) {
    const skin::Palette& c = skin::Colors();
    QPainter p(this);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, c.titleTop);
    fill.setColorAt(1, c.titleBottom);
    p.fillRect(rect(), fill);
    const QSize logo(26, 26);
    p.drawPixmap(QRect(QPoint(14, (height() - logo.height()) / 2), logo), skin::Art(QStringLiteral("logo"), logo));
    p.setPen(c.titleText);
    p.setFont(skin::Font(15, true));
    p.drawText(QRect(50, 0, width() - 170, height()), Qt::AlignVCenter | Qt::AlignLeft, title_);
}
