#pragma once
// The location chooser's list: drives, the desktop, the recycle bins and the
// user's folders. Each row shows its kind's picture, its caption, a line
// beneath (the volume, the folder's path) and its check mark; a row that
// cannot be scanned is disabled and says why; a folder's row ends in its
// remove mark. It stays a QListWidget: screen readers read each row's name,
// description and checked state, and Space flips the current row.
#include <QListWidget>

namespace gui {

// The kinds of entry, in the order of their pictures.
enum LocationKind : int {
    kLocationFolder = 0,
    kLocationDrive = 1,
    kLocationSystemDrive = 2,
    kLocationDesktop = 3,
    kLocationRecycleBin = 4,
};

enum LocationRole : int {
    kKindRole = Qt::UserRole + 1,
    kDriveRole,     // column 0: the drive, or "Desktop", "Recycle Bin"
    kPathRole,      // column 1: a folder's full path
    kLocationRole,  // a folder as the scan names it: drive, "\", its path inside the volume, "\"
    kDetailRole,    // the line under the caption
    kHintRole,      // why the entry cannot be scanned; empty when it can
    kArtRole,       // a picture other than the kind's (a disk image's)
};

class RdLocationList : public QListWidget {
    Q_OBJECT
public:
    explicit RdLocationList(QWidget* parent = nullptr);

    // A new entry at `row` (-1: at the end), checked.
    QListWidgetItem* AddEntry(int kind, const QString& caption, const QString& drive, const QString& path = {},
                              int row = -1);
    // Marks the entry as one that cannot be scanned, unchecked, with the reason.
    static void SetUnusable(QListWidgetItem* item, const QString& hint);
    static bool Usable(const QListWidgetItem* item);
    static void SetDetail(QListWidgetItem* item, const QString& detail);
    static int KindOf(const QListWidgetItem* item);

    // The tip of the remove mark ("Delete").
    void SetRemoveHint(const QString& hint) { removeHint_ = hint; }
    // Where a folder entry's remove mark lies, in viewport coordinates; empty for other kinds.
    QRect RemoveRect(const QListWidgetItem* item) const;

signals:
    // A folder's remove mark was clicked, or Delete pressed on it.
    void RemoveRequested(QListWidgetItem* item);
    // The user flipped an entry's check mark.
    void CheckFlipped(QListWidgetItem* item);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void Flip(QListWidgetItem* item);
    QString removeHint_;
    QListWidgetItem* pressed_ = nullptr;
};

} // namespace gui
