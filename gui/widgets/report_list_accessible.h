#pragma once
// What screen readers and UI-automation tools see of a report list: a table
// whose first column's cells are check boxes they can read and flip, and
// whose top-left corner is the header's check-all box. Qt's own table lets
// a tool read the rows, but its cells neither say that they are checkable
// nor check anything: their one action selects the row.
//
// The children are numbered as Qt's table views number them in the events
// they send (a header row first, and a row-header column before every row),
// so that focus and change events land on the right child.
#include <QAccessibleWidget>
#include <QPointer>

#include <unordered_map>

class RdReportList;

// Installs the accessible interface of every RdReportList, once per program.
void InstallReportListAccessibility();
// Tells a listening screen reader that the check mark of `row` (-1: the
// header's check-all box) changed.
void AnnounceCheckChange(RdReportList* list, int row);

class ReportListAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit ReportListAccessible(RdReportList* list);
    ~ReportListAccessible() override;

    RdReportList* List() const;

    // QAccessibleInterface
    void* interface_cast(QAccessible::InterfaceType type) override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // QAccessibleTableInterface
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

    // The header's check-all box, and a column's header.
    QAccessibleInterface* CheckAllBox() const { return child(0); }
    QAccessibleInterface* ColumnHeader(int column) const { return child(1 + column); }

private:
    int Stride() const { return columnCount() + 1; }
    void Forget() const;
    mutable std::unordered_map<int, QAccessible::Id> children_;
};
