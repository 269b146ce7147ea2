#pragma once
// The virtual report list: columns of a model that hands its rows out on
// demand (the result list may hold millions), a check box on every row, and
// a check box in the first column's header that checks or unchecks them all.
// It stays a QTableView; screen readers see it through ReportListAccessible:
// a table with named headers, rows, check boxes they can flip and the
// header's check-all box, named by the header's accessible name.
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTableView>

// Paints the rows: alternate shades, the check mark in the first column, a
// picture (the decoration, a name from gui/art) and the text, elided.
class RdReportDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Where a row's check mark lies in its first cell.
    virtual QRect MarkRect(const QRect& cell) const;
    // A release in the first column flips the row's check state.
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    // The row's background, as every cell of it has it.
    void PaintBackground(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const;
};

// The header that draws the check box in front of its first section, and
// the sort mark of the sorted section. It takes the keyboard too: Left and
// Right choose a section, Enter clicks it (sorts by it), Space flips the
// check box.
class RdCheckHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit RdCheckHeader(QWidget* parent = nullptr);
    void SetCheckState(Qt::CheckState state);
    Qt::CheckState CheckState() const { return state_; }
    // The section the keyboard works on.
    int FocusSection() const { return focusSection_; }
    // Flips the check box as a click on it does (Space, a screen reader's action).
    void ClickCheckBox();
    // Where the check box lies in a section of the first column.
    QRect MarkRect(const QRect& section) const;
    // What a screen reader calls the check box.
    void SetCheckBoxName(const QString& name) { checkBoxName_ = name; }
    const QString& CheckBoxName() const { return checkBoxName_; }

signals:
    // The user clicked the header's check box; `checked` is the new state.
    void CheckToggled(bool checked);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QString checkBoxName_;
    Qt::CheckState state_ = Qt::Unchecked;
    int focusSection_ = 0;
};

class RdReportList : public QTableView {
    Q_OBJECT
public:
    explicit RdReportList(QWidget* parent = nullptr);
    void setModel(QAbstractItemModel* model) override;
    RdCheckHeader* CheckHeader() const { return header_; }
    // Checks or unchecks every row (the header's check box).
    virtual void CheckAll(bool checked);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Sets the header's check box from the rows.
    virtual void UpdateHeaderState();

private:
    RdCheckHeader* header_;
};
