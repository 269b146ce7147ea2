#pragma once
// The check tree: folders or file types with a check box, a picture and a
// count drawn right-aligned. Parents check and uncheck their children and
// show a partial mark when these differ. Built without check boxes it is a
// tree of pictures, names and counts whose rows are only chosen. It stays a
// QTreeWidget, so screen readers see a tree whose items have names, counts
// and check states.
#include <QTreeWidget>

class RdCheckTree : public QTreeWidget {
    Q_OBJECT
public:
    // The roles the rows are drawn from: a picture's name in gui/art, and the count.
    static constexpr int kArtRole = Qt::UserRole + 1;
    static constexpr int kCountRole = Qt::UserRole + 2;

    explicit RdCheckTree(QWidget* parent = nullptr, bool checkable = true);

    // Adds a row under `parent` (null: at the top).
    QTreeWidgetItem* AddRow(QTreeWidgetItem* parent, const QString& text, const QString& art, qint64 count);
    // A row not yet in the tree, for adding many at once.
    QTreeWidgetItem* MakeRow(const QString& text, const QString& art, qint64 count) const;
    static qint64 CountOf(const QTreeWidgetItem& item);
    bool Checkable() const { return checkable_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool checkable_;
};
