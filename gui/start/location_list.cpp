#include "gui/start/location_list.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "gui/widgets/check_box.h"
#include "gui/widgets/skin.h"

namespace gui {
namespace {

constexpr int kLineHeight = 18;
constexpr int kRemoveWidth = 34;
constexpr int kPicture = 28;

QString ArtOf(int kind) {
    switch (kind) {
    case kLocationFolder: return QStringLiteral("folder");
    case kLocationSystemDrive: return QStringLiteral("drive-windows");
    case kLocationDesktop: return QStringLiteral("desktop");
    case kLocationRecycleBin: return QStringLiteral("recycle-bin");
    default: return QStringLiteral("drive");
    }
}

// The lines under the caption: the detail, then the reason it cannot be scanned.
QStringList SubLines(const QModelIndex& index) {
    QStringList lines;
    for (int role : {int(kDetailRole), int(kHintRole)})
        if (const QString text = index.data(role).toString(); !text.isEmpty())
            lines << text;
    return lines;
}

class EntryDelegate : public QStyledItemDelegate {
public:
    explicit EntryDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const int lines = 1 + static_cast<int>(SubLines(index).size());
        return {option.rect.width(), std::max(48, 14 + lines * kLineHeight)};
    }

    bool editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&) override {
        return false;
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const skin::Palette& c = skin::Colors();
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        const QRect r = option.rect;
        const bool usable = index.data(kHintRole).toString().isEmpty();
        const bool listEnabled = option.widget && option.widget->isEnabled();
        const bool hovered = (option.state & QStyle::State_MouseOver) && listEnabled && usable;
        const auto state = static_cast<Qt::CheckState>(index.data(Qt::CheckStateRole).toInt());
        if (hovered)
            p->fillRect(r, c.secondaryHover);
        else if ((option.state & QStyle::State_Selected) && listEnabled)
            p->fillRect(r, c.selection);
        p->setPen(c.border);
        p->drawLine(r.bottomLeft() + QPoint(12, 0), r.bottomRight() - QPoint(12, 0));

        int x = r.left() + 14;
        PaintCheckMark(*p, QRectF(x, r.center().y() - 8, 16, 16), state, listEnabled && usable);
        x += 30;
        // The picture is full when the entry is checked or under the pointer,
        // paler otherwise, and faint when it cannot be chosen.
        p->setOpacity(!listEnabled || !usable ? 0.35 : (state == Qt::Checked || hovered ? 1.0 : 0.7));
        const int kind = index.data(kKindRole).toInt();
        QString art = index.data(kArtRole).toString();
        if (art.isEmpty())
            art = ArtOf(kind);
        p->drawPixmap(QRect(x, r.center().y() - kPicture / 2, kPicture, kPicture), skin::Art(art, {kPicture, kPicture}));
        p->setOpacity(1.0);
        x += kPicture + 14;

        const bool removable = kind == kLocationFolder;
        const int right = r.right() - (removable ? kRemoveWidth + 8 : 12);
        const QStringList lines = SubLines(index);
        const int block = kLineHeight * (1 + static_cast<int>(lines.size()));
        int y = r.top() + (r.height() - block) / 2;
        p->setFont(skin::Font(13, true));
        p->setPen(listEnabled && usable ? c.text : c.mutedText);
        p->drawText(QRect(x, y, right - x, kLineHeight), Qt::AlignVCenter | Qt::AlignLeft,
                    p->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle, right - x));
        p->setFont(skin::Font(12));
        const QString detail = index.data(kDetailRole).toString();
        for (const QString& line : lines) {
            y += kLineHeight;
            p->setPen(line == detail ? c.mutedText : c.accent);
            p->drawText(QRect(x, y, right - x, kLineHeight), Qt::AlignVCenter | Qt::AlignLeft,
                        p->fontMetrics().elidedText(line, Qt::ElideMiddle, right - x));
        }

        if (removable) {
            const QRect mark(r.right() - kRemoveWidth - 4, r.center().y() - kRemoveWidth / 2 + 4, kRemoveWidth - 8,
                             kRemoveWidth - 8);
            const bool overMark = option.widget && mark.contains(option.widget->mapFromGlobal(QCursor::pos())) &&
                                  (option.state & QStyle::State_MouseOver);
            if (overMark && listEnabled) {
                p->setPen(Qt::NoPen);
                p->setBrush(QColor(c.failure.red(), c.failure.green(), c.failure.blue(), 36));
                p->drawEllipse(mark);
            }
            p->setPen(QPen(listEnabled ? (overMark ? c.failure : c.mutedText) : c.disabledFill, 1.8, Qt::SolidLine,
                           Qt::RoundCap));
            const QRectF cross = QRectF(mark).adjusted(8, 8, -8, -8);
            p->drawLine(cross.topLeft(), cross.bottomRight());
            p->drawLine(cross.topRight(), cross.bottomLeft());
        }
        if ((option.state & QStyle::State_HasFocus) && option.widget && option.widget->hasFocus()) {
            p->setPen(QPen(c.focus, 1, Qt::DotLine));
            p->setBrush(Qt::NoBrush);
            p->drawRect(r.adjusted(2, 2, -3, -3));
        }
        p->restore();
    }
};

} // namespace

RdLocationList::RdLocationList(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new EntryDelegate(this));
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setFont(skin::Font(13));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(false);
}

QListWidgetItem* RdLocationList::AddEntry(int kind, const QString& caption, const QString& drive, const QString& path,
                                          int row) {
    auto* item = new QListWidgetItem(caption);
    item->setData(kKindRole, kind);
    item->setData(kDriveRole, drive);
    item->setData(kPathRole, path);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    if (row < 0 || row > count())
        addItem(item);
    else
        insertItem(row, item);
    return item;
}

void RdLocationList::SetUnusable(QListWidgetItem* item, const QString& hint) {
    item->setData(kHintRole, hint);
    item->setCheckState(Qt::Unchecked);
    // Not checkable either, so that no screen reader offers to check it; its
    // description says why.
    item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable));
    const QString detail = item->data(kDetailRole).toString();
    item->setData(Qt::AccessibleDescriptionRole, detail.isEmpty() ? hint : detail + QStringLiteral(". ") + hint);
    item->setToolTip(hint);
}

bool RdLocationList::Usable(const QListWidgetItem* item) { return item->data(kHintRole).toString().isEmpty(); }

void RdLocationList::SetDetail(QListWidgetItem* item, const QString& detail) {
    item->setData(kDetailRole, detail);
    const QString hint = item->data(kHintRole).toString();
    item->setData(Qt::AccessibleDescriptionRole, hint.isEmpty() ? detail : detail + QStringLiteral(". ") + hint);
}

int RdLocationList::KindOf(const QListWidgetItem* item) { return item->data(kKindRole).toInt(); }

QRect RdLocationList::RemoveRect(const QListWidgetItem* item) const {
    if (!item || KindOf(item) != kLocationFolder)
        return {};
    const QRect r = visualItemRect(item);
    return QRect(r.right() - kRemoveWidth - 8, r.top(), kRemoveWidth + 8, r.height());
}

void RdLocationList::Flip(QListWidgetItem* item) {
    if (!item || !Usable(item) || !isEnabled())
        return;
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    emit CheckFlipped(item);
}

void RdLocationList::mousePressEvent(QMouseEvent* event) {
    pressed_ = itemAt(event->position().toPoint());
    QListWidget::mousePressEvent(event);
}

void RdLocationList::mouseReleaseEvent(QMouseEvent* event) {
    QListWidgetItem* item = itemAt(event->position().toPoint());
    const bool sameItem = item && item == pressed_ && event->button() == Qt::LeftButton;
    pressed_ = nullptr;
    QListWidget::mouseReleaseEvent(event);
    if (!sameItem || !isEnabled())
        return;
    // The remove mark also answers on an entry that cannot be scanned.
    if (RemoveRect(item).contains(event->position().toPoint()))
        emit RemoveRequested(item);
    else
        Flip(item);
}

void RdLocationList::mouseDoubleClickEvent(QMouseEvent* event) {
    // A second click flips the mark back, as two single clicks would.
    mousePressEvent(event);
}

void RdLocationList::keyPressEvent(QKeyEvent* event) {
    QListWidgetItem* item = currentItem();
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Flip(item);
        return;
    case Qt::Key_Delete:
        if (item && KindOf(item) == kLocationFolder)
            emit RemoveRequested(item);
        return;
    default:
        QListWidget::keyPressEvent(event);
    }
}

bool RdLocationList::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QListWidgetItem* item = itemAt(help->pos());
        if (item && RemoveRect(item).contains(help->pos())) {
            QToolTip::showText(help->globalPos(), removeHint_, viewport());
            return true;
        }
    }
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Leave)
        viewport()->update();
    return QListWidget::viewportEvent(event);
}

void RdLocationList::paintEvent(QPaintEvent* event) {
    {
        QPainter p(viewport());
        p.fillRect(viewport()->rect(), skin::Colors().panel);
    }
    QListWidget::paintEvent(event);
}

} // namespace gui
