#include "gui/results/result_list.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "gui/results/result_list_model.h"
#include "gui/widgets/skin.h"
#include "results/result_view.h"

namespace gui {

namespace {

// The check box lies 11 to 25 pixels from the list's left edge (scrolled
// with it), 16 pixels high in the middle of its row.
constexpr int kZoneLeft = 11;
constexpr int kZoneWidth = 15;
constexpr int kZoneHeight = 16;

class ResultRowDelegate : public RdReportDelegate {
public:
    using RdReportDelegate::RdReportDelegate;

    QRect MarkRect(const QRect& cell) const override {
        return QRect(cell.left() + kZoneLeft, cell.center().y() - 7, 14, 14);
    }
    // Presses are the list's own: the check zone and the preview button.
    bool editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&) override {
        return false;
    }
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (index.column() != results::kColumnPreview && index.column() != results::kColumnMargin) {
            RdReportDelegate::paint(p, option, index);
            return;
        }
        p->save();
        PaintBackground(p, option, index);
        const QVariant art = index.data(Qt::DecorationRole);
        if (index.column() == results::kColumnPreview && art.isValid()) {
            const QRect button(option.rect.center().x() - 10, option.rect.center().y() - 10, 20, 20);
            if (option.state & QStyle::State_MouseOver) {
                p->setRenderHint(QPainter::Antialiasing);
                p->setPen(Qt::NoPen);
                p->setBrush(skin::Colors().secondaryHover);
                p->drawRoundedRect(button, 4, 4);
            }
            p->drawPixmap(button.adjusted(2, 2, -2, -2), skin::Art(art.toString(), {16, 16}));
        }
        p->restore();
    }
};

} // namespace

ResultList::ResultList(QWidget* parent) : RdReportList(parent) {
    setItemDelegate(new ResultRowDelegate(this));
    setMouseTracking(true);
    horizontalHeader()->setSortIndicatorShown(false);
}

void ResultList::SetResultModel(ResultListModel* model) {
    model_ = model;
    setModel(model);
}

void ResultList::CheckAll(bool checked) { emit AllChecksToggled(checked); }

QRect ResultList::CheckZone(int row) const {
    const int top = rowViewportPosition(row);
    const int height = rowHeight(row);
    return QRect(kZoneLeft - horizontalOffset(), top + (height - kZoneHeight) / 2, kZoneWidth, kZoneHeight);
}

QRect ResultList::PreviewButton(int row) const {
    if (!model_ || !model_->index(row, results::kColumnPreview).data(Qt::DecorationRole).isValid())
        return {};
    const QRect cell = visualRect(model_->index(row, results::kColumnPreview));
    return QRect(cell.center().x() - 10, cell.center().y() - 10, 20, 20);
}

void ResultList::Toggle(int row) {
    const QModelIndex first = model_->index(row, results::kColumnName);
    const bool checked = first.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    model_->setData(first, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

void ResultList::mousePressEvent(QMouseEvent* event) {
    emit Pressed();
    const QPoint at = event->position().toPoint();
    const int row = rowAt(at.y());
    if (model_ && row >= 0 && event->button() == Qt::LeftButton) {
        if (CheckZone(row).contains(at)) {
            setCurrentIndex(model_->index(row, results::kColumnName));
            Toggle(row);
            return;
        }
        if (PreviewButton(row).contains(at)) {
            setCurrentIndex(model_->index(row, results::kColumnName));
            emit PreviewRequested(row);
            return;
        }
    }
    RdReportList::mousePressEvent(event);
}

void ResultList::keyPressEvent(QKeyEvent* event) {
    const QModelIndex current = currentIndex();
    if (model_ && current.isValid() && event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        Toggle(current.row());
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        emit AllChecksToggled(true);
        return;
    }
    if (model_ && current.isValid() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        if (model_->index(current.row(), results::kColumnPreview).data(Qt::DecorationRole).isValid())
            emit PreviewRequested(current.row());
        return;
    }
    RdReportList::keyPressEvent(event);
}

} // namespace gui
