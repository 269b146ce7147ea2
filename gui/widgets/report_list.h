#pragma once
// The virtual report list: columns of a model that hands its rows out on
// demand (the result list may hold millions), a check box on every row, and
// a check box in the first column's header that checks or unchecks them all.
// It stays a QTableView, so screen readers see a table with named headers,
// rows and check states.
#include <QHeaderView>
#include <QTableView>

// The header that draws the check box in front of its first section.
class RdCheckHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit RdCheckHeader(QWidget* parent = nullptr);
    void SetCheckState(Qt::CheckState state);
    Qt::CheckState CheckState() const { return state_; }

signals:
    // The user clicked the header's check box; `checked` is the new state.
    void CheckToggled(bool checked);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRect MarkRect(const QRect& section) const;
    Qt::CheckState state_ = Qt::Unchecked;
};

class RdReportList : public QTableView {
    Q_OBJECT
public:
    explicit RdReportList(QWidget* parent = nullptr);
    void setModel(QAbstractItemModel* model) override;
    RdCheckHeader* CheckHeader() const { return header_; }
    // Checks or unchecks every row (the header's check box).
    void CheckAll(bool checked);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateHeaderState();
    RdCheckHeader* header_;
};
