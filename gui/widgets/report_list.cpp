#include "gui/widgets/report_list.h"

#include <QKeyEvent>

#include <algorithm>
#include <QMouseEvent>
#include <QPainter>

#include "gui/widgets/check_box.h"
#include "gui/widgets/report_list_accessible.h"
#include "gui/widgets/skin.h"

namespace {

constexpr int kMarkSize = 14;

} // namespace

QRect RdReportDelegate::MarkRect(const QRect& cell) const {
    return QRect(cell.left() + 8, cell.center().y() - kMarkSize / 2, kMarkSize, kMarkSize);
}

bool RdReportDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem&,
                                   const QModelIndex& index) {
    if (index.column() != 0 || event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto state = static_cast<Qt::CheckState>(index.data(Qt::CheckStateRole).toInt());
    return model->setData(index, state == Qt::Checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

void RdReportDelegate::PaintBackground(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const skin::Palette& c = skin::Colors();
    p->fillRect(option.rect, option.state & QStyle::State_Selected ? c.selection : (index.row() % 2) ? c.page : c.panel);
}

void RdReportDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const skin::Palette& c = skin::Colors();
    p->save();
    PaintBackground(p, option, index);
    const QRect r = option.rect;
    int x = r.left() + 8;
    if (index.column() == 0 && (index.flags() & Qt::ItemIsUserCheckable)) {
        const auto state = static_cast<Qt::CheckState>(index.data(Qt::CheckStateRole).toInt());
        const QRect mark = MarkRect(r);
        PaintCheckMark(*p, QRectF(mark), state, true);
        x = mark.right() + 9;
    }
    const QVariant decoration = index.data(Qt::DecorationRole);
    if (decoration.canConvert<QString>() && !decoration.toString().isEmpty()) {
        p->drawPixmap(QRect(x, r.center().y() - 8, 16, 16), skin::Art(decoration.toString(), {16, 16}));
        x += 22;
    }
    p->setPen(c.text);
    p->setFont(skin::Font(12));
    const QRect textRect(x, r.top(), r.right() - x - 6, r.height());
    const QVariant alignment = index.data(Qt::TextAlignmentRole);
    const Qt::Alignment align = alignment.isValid() ? Qt::Alignment(alignment.toInt()) : Qt::AlignVCenter | Qt::AlignLeft;
    p->drawText(textRect, align | Qt::AlignVCenter,
                p->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle, textRect.width()));
    p->restore();
}

RdCheckHeader::RdCheckHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    setFont(skin::Font(12, true));
    setMinimumHeight(30);
    setFocusPolicy(Qt::TabFocus);
}

void RdCheckHeader::ClickCheckBox() {
    const bool checked = state_ != Qt::Checked;
    SetCheckState(checked ? Qt::Checked : Qt::Unchecked);
    emit CheckToggled(checked);
}

void RdCheckHeader::keyPressEvent(QKeyEvent* event) {
    const int sections = count();
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        // Visual order, so that the arrows follow what is seen.
        int visual = visualIndex(focusSection_) + (event->key() == Qt::Key_Left ? -1 : 1);
        visual = std::clamp(visual, 0, std::max(0, sections - 1));
        focusSection_ = logicalIndex(visual);
        viewport()->update();
        return;
    }
    case Qt::Key_Space:
        if (focusSection_ == 0) {
            ClickCheckBox();
            return;
        }
        [[fallthrough]];
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (focusSection_ >= 0 && focusSection_ < sections)
            emit sectionClicked(focusSection_);
        return;
    default:
        QHeaderView::keyPressEvent(event);
    }
}

void RdCheckHeader::focusInEvent(QFocusEvent* event) {
    QHeaderView::focusInEvent(event);
    viewport()->update();
}

void RdCheckHeader::focusOutEvent(QFocusEvent* event) {
    QHeaderView::focusOutEvent(event);
    viewport()->update();
}

void RdCheckHeader::SetCheckState(Qt::CheckState state) {
    if (state_ == state)
        return;
    state_ = state;
    viewport()->update();
    if (auto* list = qobject_cast<RdReportList*>(parentWidget()))
        AnnounceCheckChange(list, -1);
}

QRect RdCheckHeader::MarkRect(const QRect& section) const {
    return QRect(section.left() + 8, section.center().y() - kMarkSize / 2, kMarkSize, kMarkSize);
}

void RdCheckHeader::paintSection(QPainter* p, const QRect& rect, int logicalIndex) const {
    const skin::Palette& c = skin::Colors();
    p->save();
    p->fillRect(rect, c.page);
    p->setPen(c.border);
    p->drawLine(rect.bottomLeft(), rect.bottomRight());
    p->drawLine(rect.topRight() + QPoint(0, 6), rect.bottomRight() - QPoint(0, 6));
    int x = rect.left() + 8;
    if (logicalIndex == 0) {
        PaintCheckMark(*p, MarkRect(rect), state_, isEnabled());
        x += kMarkSize + 8;
    }
    int right = rect.right() - 4;
    if (isSortIndicatorShown() && sortIndicatorSection() == logicalIndex) {
        const QString art = sortIndicatorOrder() == Qt::AscendingOrder ? QStringLiteral("sort-up") : QStringLiteral("sort-down");
        p->drawPixmap(QRect(right - 14, rect.center().y() - 7, 14, 14), skin::Art(art, {14, 14}));
        right -= 16;
    }
    p->setPen(c.mutedText);
    p->setFont(font());
    const QString text = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    const QRect textRect(x, rect.top(), right - x, rect.height());
    p->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, p->fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    if (hasFocus() && logicalIndex == focusSection_) {
        p->setPen(QPen(c.focus, 1.5));
        p->setBrush(Qt::NoBrush);
        p->drawRoundedRect(QRectF(rect).adjusted(2, 3, -3, -4), 4, 4);
    }
    p->restore();
}

void RdCheckHeader::mousePressEvent(QMouseEvent* event) {
    const int index = logicalIndexAt(event->position().toPoint());
    if (index == 0) {
        const QRect section(sectionViewportPosition(0), 0, sectionSize(0), height());
        if (MarkRect(section).adjusted(-4, -4, 4, 4).contains(event->position().toPoint())) {
            ClickCheckBox();
            return;
        }
    }
    QHeaderView::mousePressEvent(event);
}

RdReportList::RdReportList(QWidget* parent) : QTableView(parent), header_(new RdCheckHeader(this)) {
    InstallReportListAccessibility();
    setHorizontalHeader(header_);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(26);
    setItemDelegate(new RdReportDelegate(this));
    setShowGrid(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFrameShape(QFrame::NoFrame);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
    // Tab leaves the list for the next control; the arrows move among the rows.
    setTabKeyNavigation(false);
    header_->setStretchLastSection(true);
    connect(header_, &RdCheckHeader::CheckToggled, this, &RdReportList::CheckAll);
}

void RdReportList::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    if (model)
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& first, const QModelIndex& last, const QList<int>& roles) {
                    UpdateHeaderState();
                    // One row's check flipped (a click, Space, a screen reader): the screen reader hears it.
                    if (first.row() == last.row() && first.column() == 0 && roles.contains(Qt::CheckStateRole))
                        AnnounceCheckChange(this, first.row());
                });
    UpdateHeaderState();
}

void RdReportList::CheckAll(bool checked) {
    QAbstractItemModel* m = model();
    if (!m)
        return;
    for (int row = 0; row < m->rowCount(); ++row)
        m->setData(m->index(row, 0), checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    UpdateHeaderState();
}

void RdReportList::UpdateHeaderState() {
    QAbstractItemModel* m = model();
    int checked = 0;
    const int rows = m ? m->rowCount() : 0;
    for (int row = 0; row < rows; ++row)
        checked += m->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
    header_->SetCheckState(checked == 0 ? Qt::Unchecked : checked == rows ? Qt::Checked : Qt::PartiallyChecked);
}

void RdReportList::keyPressEvent(QKeyEvent* event) {
    const QModelIndex current = currentIndex();
    if (current.isValid() && model() && (event->key() == Qt::Key_Space)) {
        const QModelIndex first = model()->index(current.row(), 0);
        const bool checked = first.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        model()->setData(first, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        return;
    }
    QTableView::keyPressEvent(event);
}
