#include "gui/widgets/check_tree.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "gui/widgets/check_box.h"
#include "gui/widgets/skin.h"

namespace {

constexpr int kArtRole = RdCheckTree::kArtRole;
constexpr int kCountRole = RdCheckTree::kCountRole;
constexpr int kMarkSize = 14;

class TreeRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width() + 80, 28};
    }

    bool editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&) override {
        return false;
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const skin::Palette& c = skin::Colors();
        p->save();
        const QRect r = option.rect;
        if (option.state & QStyle::State_Selected)
            p->fillRect(r, c.selection);
        int x = r.left() + 2;
        if (index.flags() & Qt::ItemIsUserCheckable) {
            const auto state = static_cast<Qt::CheckState>(index.data(Qt::CheckStateRole).toInt());
            PaintCheckMark(*p, QRectF(x, r.center().y() - kMarkSize / 2, kMarkSize, kMarkSize), state,
                           option.state & QStyle::State_Enabled);
            x += kMarkSize + 8;
        }
        const QString art = index.data(kArtRole).toString();
        if (!art.isEmpty()) {
            p->drawPixmap(QRect(x, r.center().y() - 9, 18, 18), skin::Art(art, {18, 18}));
            x += 24;
        }
        const QString count = QString::number(index.data(kCountRole).toLongLong());
        const QFontMetrics metrics(skin::Font(12));
        const int countWidth = metrics.horizontalAdvance(count) + 14;
        const QRect pill(r.right() - countWidth - 6, r.center().y() - 9, countWidth, 18);
        p->setRenderHint(QPainter::Antialiasing);
        p->setPen(Qt::NoPen);
        p->setBrush(c.page);
        p->drawRoundedRect(pill, 9, 9);
        p->setPen(c.mutedText);
        p->setFont(skin::Font(12));
        p->drawText(pill, Qt::AlignCenter, count);
        p->setPen(c.text);
        p->setFont(skin::Font(13));
        const QRect textRect(x, r.top(), pill.left() - x - 6, r.height());
        p->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                    p->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, textRect.width()));
        p->restore();
    }
};

void Flip(QTreeWidgetItem* item) {
    item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

} // namespace

RdCheckTree::RdCheckTree(QWidget* parent, bool checkable) : QTreeWidget(parent), checkable_(checkable) {
    setHeaderHidden(true);
    setColumnCount(1);
    setItemDelegate(new TreeRowDelegate(this));
    setFrameShape(QFrame::NoFrame);
    setFont(skin::Font(13));
    setIndentation(16);
    setFocusPolicy(Qt::StrongFocus);
    if (checkable_)
        connect(this, &QTreeWidget::itemClicked, this, [](QTreeWidgetItem* item) { Flip(item); });
}

QTreeWidgetItem* RdCheckTree::MakeRow(const QString& text, const QString& art, qint64 count) const {
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    item->setData(0, kArtRole, art);
    item->setData(0, kCountRole, count);
    // The count is part of what a screen reader says about the row.
    item->setData(0, Qt::AccessibleTextRole, text + QStringLiteral(" (") + QString::number(count) + QLatin1Char(')'));
    if (checkable_) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
        item->setCheckState(0, Qt::Unchecked);
    } else {
        item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
    }
    return item;
}

QTreeWidgetItem* RdCheckTree::AddRow(QTreeWidgetItem* parent, const QString& text, const QString& art, qint64 count) {
    QTreeWidgetItem* item = MakeRow(text, art, count);
    if (parent)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    return item;
}

qint64 RdCheckTree::CountOf(const QTreeWidgetItem& item) { return item.data(0, kCountRole).toLongLong(); }

void RdCheckTree::keyPressEvent(QKeyEvent* event) {
    if (QTreeWidgetItem* item = currentItem();
        checkable_ && item && (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        Flip(item);
        return;
    }
    QTreeWidget::keyPressEvent(event);
}
