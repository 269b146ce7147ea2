#include "gui/widgets/check_list.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "gui/widgets/check_box.h"
#include "gui/widgets/skin.h"

namespace {

constexpr int kRowHeight = 30;
constexpr int kArtRole = Qt::UserRole + 1;

class RowDelegate : public QStyledItemDelegate {
public:
    RowDelegate(bool checkable, QObject* parent) : QStyledItemDelegate(parent), checkable_(checkable) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight};
    }

    // Check marks flip in the list itself (click, Space, Enter), never twice.
    bool editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&) override {
        return false;
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const skin::Palette& c = skin::Colors();
        p->save();
        const QRect r = option.rect;
        if (option.state & QStyle::State_Selected)
            p->fillRect(r, c.selection);
        else if (option.state & QStyle::State_MouseOver)
            p->fillRect(r, c.secondaryHover);
        int x = r.left() + 10;
        if (checkable_) {
            const auto state = static_cast<Qt::CheckState>(index.data(Qt::CheckStateRole).toInt());
            PaintCheckMark(*p, QRectF(x, r.center().y() - 7, 14, 14), state, option.state & QStyle::State_Enabled);
            x += 24;
        }
        const QString art = index.data(kArtRole).toString();
        if (!art.isEmpty()) {
            p->drawPixmap(QRect(x, r.center().y() - 10, 20, 20), skin::Art(art, {20, 20}));
            x += 28;
        }
        p->setPen(option.state & QStyle::State_Enabled ? c.text : c.mutedText);
        p->setFont(skin::Font(13));
        p->drawText(QRect(x, r.top(), r.right() - x - 6, r.height()), Qt::AlignVCenter | Qt::AlignLeft,
                    index.data(Qt::DisplayRole).toString());
        if ((option.state & QStyle::State_HasFocus) && option.widget && option.widget->hasFocus()) {
            p->setPen(QPen(c.focus, 1, Qt::DotLine));
            p->drawRect(r.adjusted(1, 1, -2, -2));
        }
        p->restore();
    }

private:
    bool checkable_;
};

} // namespace

RdCheckList::RdCheckList(bool checkable, QWidget* parent) : QListWidget(parent), checkable_(checkable) {
    setItemDelegate(new RowDelegate(checkable, this));
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setFont(skin::Font(13));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (checkable)
        connect(this, &QListWidget::itemClicked, this, [](QListWidgetItem* item) {
            item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        });
}

QListWidgetItem* RdCheckList::AddRow(const QString& text, const QString& art, bool checked) {
    auto* item = new QListWidgetItem(text, this);
    item->setData(kArtRole, art);
    if (checkable_) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
    return item;
}

void RdCheckList::keyPressEvent(QKeyEvent* event) {
    QListWidgetItem* item = currentItem();
    if (checkable_ && item && (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
                               event->key() == Qt::Key_Enter)) {
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        return;
    }
    QListWidget::keyPressEvent(event);
}

void RdCheckList::paintEvent(QPaintEvent* event) {
    {
        QPainter p(viewport());
        p.fillRect(viewport()->rect(), skin::Colors().panel);
    }
    QListWidget::paintEvent(event);
    QPainter p(viewport());
    p.setPen(hasFocus() ? skin::Colors().primary : skin::Colors().border);
    p.drawRect(viewport()->rect().adjusted(0, 0, -1, -1));
}
