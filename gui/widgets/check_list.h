#pragma once
// The checkable list with row pictures: each row a picture, a text and,
// when the list is checkable, a check box. It stays a QListWidget, so screen
// readers see a list whose items have names and check states, and Space
// flips the current row.
#include <QListWidget>

class RdCheckList : public QListWidget {
    Q_OBJECT
public:
    RdCheckList(bool checkable, QWidget* parent = nullptr);

    // Appends a row; `art` names a picture of gui/art (empty: none).
    QListWidgetItem* AddRow(const QString& text, const QString& art = {}, bool checked = false);
    bool Checkable() const { return checkable_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool checkable_;
};
