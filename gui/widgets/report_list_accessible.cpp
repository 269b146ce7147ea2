#include "gui/widgets/report_list_accessible.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>

#include <algorithm>
#include <climits>

#include "gui/widgets/report_list.h"

namespace {

QAccessibleInterface* ReportListFactory(const QString&, QObject* object) {
    if (auto* list = qobject_cast<RdReportList*>(object))
        return new ReportListAccessible(list);
    return nullptr;
}

// One child of the table: the check-all box, a column's header, a row's
// (unseen) header or a cell.
class ReportItemAccessible : public QAccessibleInterface,
                             public QAccessibleTableCellInterface,
                             public QAccessibleActionInterface {
public:
    enum class Kind { CheckAll, ColumnHeader, RowHeader, Cell };

    ReportItemAccessible(RdReportList* list, Kind kind, int row, int column)
        : list_(list), kind_(kind), row_(row), column_(column) {}

    bool isValid() const override {
        if (!list_ || !list_->model())
            return false;
        const QAbstractItemModel& m = *list_->model();
        switch (kind_) {
        case Kind::CheckAll: return true;
        case Kind::ColumnHeader: return column_ < m.columnCount();
        case Kind::RowHeader: return row_ < m.rowCount();
        case Kind::Cell: return row_ < m.rowCount() && column_ < m.columnCount();
        }
        return false;
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return list_ ? list_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QAccessible::Role role() const override {
        switch (kind_) {
        case Kind::CheckAll: return QAccessible::CheckBox;
        case Kind::ColumnHeader: return QAccessible::ColumnHeader;
        case Kind::RowHeader: return QAccessible::RowHeader;
        case Kind::Cell: return QAccessible::Cell;
        }
        return QAccessible::NoRole;
    }

    QString text(QAccessible::Text t) const override {
        if (!isValid() || t != QAccessible::Name)
            return {};
        const QAbstractItemModel& m = *list_->model();
        switch (kind_) {
        case Kind::CheckAll:
            return list_->CheckHeader()->CheckBoxName();
        case Kind::ColumnHeader: {
            const QVariant spoken = m.headerData(column_, Qt::Horizontal, Qt::AccessibleTextRole);
            return spoken.isValid() ? spoken.toString() : m.headerData(column_, Qt::Horizontal).toString();
        }
        case Kind::RowHeader:
            return QString::number(row_ + 1);
        case Kind::Cell: {
            const QModelIndex index = m.index(row_, column_);
            const QVariant spoken = index.data(Qt::AccessibleTextRole);
            return spoken.isValid() ? spoken.toString() : index.data(Qt::DisplayRole).toString();
        }
        }
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid())
            return {};
        switch (kind_) {
        case Kind::CheckAll:
        case Kind::ColumnHeader: {
            RdCheckHeader* header = list_->CheckHeader();
            const int section = kind_ == Kind::CheckAll ? 0 : column_;
            QRect r(header->sectionViewportPosition(section), 0, header->sectionSize(section), header->height());
            if (kind_ == Kind::CheckAll)
                r = header->MarkRect(r);
            return QRect(header->viewport()->mapToGlobal(r.topLeft()), r.size());
        }
        case Kind::RowHeader:
            return {};
        case Kind::Cell: {
            const QRect r = list_->visualRect(list_->model()->index(row_, column_));
            return QRect(list_->viewport()->mapToGlobal(r.topLeft()), r.size());
        }
        }
        return {};
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        if (kind_ == Kind::CheckAll) {
            const Qt::CheckState checked = list_->CheckHeader()->CheckState();
            s.checkable = true;
            s.checked = checked == Qt::Checked;
            s.checkStateMixed = checked == Qt::PartiallyChecked;
            s.disabled = !list_->CheckHeader()->isEnabled();
            return s;
        }
        if (kind_ != Kind::Cell)
            return s;
        const QModelIndex index = list_->model()->index(row_, column_);
        const QRect global(list_->viewport()->mapToGlobal(QPoint(0, 0)), list_->viewport()->size());
        s.invisible = !global.intersects(rect());
        s.selectable = bool(index.flags() & Qt::ItemIsSelectable);
        s.focusable = s.selectable;
        s.selected = isSelected();
        s.focused = list_->currentIndex() == index;
        if (index.flags() & Qt::ItemIsUserCheckable) {
            s.checkable = true;
            s.checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        }
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        if (type == QAccessible::TableCellInterface && kind_ != Kind::CheckAll)
            return static_cast<QAccessibleTableCellInterface*>(this);
        return nullptr;
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override {
        return kind_ == Kind::Cell && isValid() && list_->selectionModel() &&
               list_->selectionModel()->isRowSelected(row_, QModelIndex());
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override {
        if (kind_ != Kind::Cell)
            return {};
        return {Table()->ColumnHeader(column_)};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override {
        if (kind_ != Kind::Cell)
            return {};
        return {Table()->child((row_ + 1) * (Table()->columnCount() + 1))};
    }
    int columnIndex() const override { return kind_ == Kind::RowHeader ? -1 : column_; }
    int rowIndex() const override { return kind_ == Kind::ColumnHeader ? -1 : row_; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    // QAccessibleActionInterface
    QStringList actionNames() const override {
        switch (kind_) {
        case Kind::CheckAll: return {toggleAction(), pressAction()};
        case Kind::ColumnHeader: return {pressAction()};
        case Kind::RowHeader: return {};
        case Kind::Cell:
            if (CheckCell())
                return {toggleAction(), setFocusAction()};
            return {setFocusAction()};
        }
        return {};
    }
    void doAction(const QString& name) override {
        if (!isValid())
            return;
        if (kind_ == Kind::CheckAll && (name == toggleAction() || name == pressAction())) {
            list_->CheckHeader()->ClickCheckBox();
        } else if (kind_ == Kind::ColumnHeader && name == pressAction()) {
            emit list_->CheckHeader()->sectionClicked(column_);
        } else if (kind_ == Kind::Cell && name == toggleAction() && CheckCell()) {
            // As Space on the row: the check mark flips, the selection stays.
            const QModelIndex index = list_->model()->index(row_, column_);
            const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
            list_->model()->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        } else if (kind_ == Kind::Cell && name == setFocusAction()) {
            list_->setCurrentIndex(list_->model()->index(row_, column_));
            list_->setFocus(Qt::OtherFocusReason);
        }
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        if (name == toggleAction() && (kind_ == Kind::CheckAll || CheckCell()))
            return {QStringLiteral("Space")};
        return {};
    }

private:
    bool CheckCell() const {
        return kind_ == Kind::Cell && isValid() && (list_->model()->index(row_, column_).flags() & Qt::ItemIsUserCheckable);
    }
    ReportListAccessible* Table() const { return static_cast<ReportListAccessible*>(parent()); }

    QPointer<RdReportList> list_;
    Kind kind_;
    int row_;
    int column_;
};

} // namespace

void InstallReportListAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(ReportListFactory);
        return true;
    }();
    (void)installed;
}

void AnnounceCheckChange(RdReportList* list, int row) {
    if (!QAccessible::isActive())
        return;
    auto* table = static_cast<ReportListAccessible*>(QAccessible::queryAccessibleInterface(list));
    QAccessibleInterface* box = row < 0 ? table->CheckAllBox() : table->cellAt(row, 0);
    if (!box)
        return;
    QAccessible::State changed;
    changed.checked = true;
    changed.checkStateMixed = row < 0;
    QAccessibleStateChangeEvent event(box, changed);
    QAccessible::updateAccessibility(&event);
}

ReportListAccessible::ReportListAccessible(RdReportList* list) : QAccessibleWidget(list, QAccessible::Table) {}

ReportListAccessible::~ReportListAccessible() { Forget(); }

RdReportList* ReportListAccessible::List() const { return static_cast<RdReportList*>(widget()); }

void ReportListAccessible::Forget() const {
    for (const auto& [index, id] : children_)
        QAccessible::deleteAccessibleInterface(id);
    children_.clear();
}

void* ReportListAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

int ReportListAccessible::columnCount() const { return List()->model() ? List()->model()->columnCount() : 0; }

int ReportListAccessible::rowCount() const { return List()->model() ? List()->model()->rowCount() : 0; }

int ReportListAccessible::childCount() const {
    if (!List()->model())
        return 0;
    // Rows beyond what an int counts are left out, as Qt's own table does.
    return static_cast<int>(std::min<qint64>(qint64(rowCount() + 1) * Stride(), INT_MAX));
}

QAccessibleInterface* ReportListAccessible::child(int index) const {
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const auto known = children_.find(index); known != children_.end())
        return QAccessible::accessibleInterface(known->second);
    const int row = index / Stride() - 1;
    const int column = index % Stride() - 1;
    using Kind = ReportItemAccessible::Kind;
    const Kind kind = row < 0 ? (column < 0 ? Kind::CheckAll : Kind::ColumnHeader)
                              : (column < 0 ? Kind::RowHeader : Kind::Cell);
    auto* item = new ReportItemAccessible(List(), kind, std::max(row, 0), std::max(column, 0));
    children_[index] = QAccessible::registerAccessibleInterface(item);
    return item;
}

int ReportListAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface*>(child));
    for (const auto& [index, known] : children_)
        if (known == id)
            return index;
    return -1;
}

QAccessibleInterface* ReportListAccessible::cellAt(int row, int column) const {
    if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return nullptr;
    return child((row + 1) * Stride() + column + 1);
}

QAccessibleInterface* ReportListAccessible::childAt(int x, int y) const {
    const QPoint inView = List()->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex index = List()->indexAt(inView);
    if (index.isValid())
        return cellAt(index.row(), index.column());
    RdCheckHeader* header = List()->CheckHeader();
    const QPoint inHeader = header->viewport()->mapFromGlobal(QPoint(x, y));
    if (!header->viewport()->rect().contains(inHeader))
        return nullptr;
    const int section = header->logicalIndexAt(inHeader);
    if (section == 0 && CheckAllBox()->rect().contains(QPoint(x, y)))
        return CheckAllBox();
    return section >= 0 ? ColumnHeader(section) : nullptr;
}

QAccessibleInterface* ReportListAccessible::focusChild() const {
    const QModelIndex current = List()->currentIndex();
    return current.isValid() ? cellAt(current.row(), current.column()) : nullptr;
}

QList<int> ReportListAccessible::selectedRows() const {
    QList<int> rows;
    if (QItemSelectionModel* selection = List()->selectionModel())
        for (const QModelIndex& index : selection->selectedRows())
            rows << index.row();
    return rows;
}

int ReportListAccessible::selectedCellCount() const { return int(selectedRows().size()) * columnCount(); }

QList<QAccessibleInterface*> ReportListAccessible::selectedCells() const {
    QList<QAccessibleInterface*> cells;
    for (int row : selectedRows())
        for (int column = 0; column < columnCount(); ++column)
            cells << cellAt(row, column);
    return cells;
}

QString ReportListAccessible::columnDescription(int column) const {
    QAccessibleInterface* header = ColumnHeader(column);
    return header ? header->text(QAccessible::Name) : QString();
}

QString ReportListAccessible::rowDescription(int) const { return {}; }

bool ReportListAccessible::isRowSelected(int row) const {
    return List()->selectionModel() && List()->selectionModel()->isRowSelected(row, QModelIndex());
}

bool ReportListAccessible::selectRow(int row) {
    if (row < 0 || row >= rowCount())
        return false;
    List()->selectRow(row);
    return true;
}

bool ReportListAccessible::unselectRow(int row) {
    if (!isRowSelected(row))
        return false;
    List()->clearSelection();
    return true;
}

void ReportListAccessible::modelChange(QAccessibleTableModelChangeEvent* event) {
    // A cell reads its row when asked, so changed data needs nothing; rows
    // that came, went or moved are made again when asked for.
    if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
        Forget();
}
