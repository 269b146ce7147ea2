#pragma once
// The result page's two trees. The type tree lists the categories and their
// extensions with the scan's counts. The folder tree lists the drives and
// their folders, always one level more than the user has opened, so that a
// volume with many folders is never walked in full before the page shows.
#include <unordered_set>

#include "gui/widgets/check_tree.h"
#include "scan/disk.h"
#include "volume/file_type.h"

class TUnDeleteProgress;
class TLanUse;

namespace gui {

// The kinds of node, told apart by their picture number.
enum : int { kNodeAllLocations = 0, kNodeDrive = 1, kNodeSystemDrive = 2, kNodeFolder = 3 };
enum : int { kNodeAllTypes = 12 };

class TypeTree : public RdCheckTree {
    Q_OBJECT
public:
    TypeTree(const TLanUse& language, QWidget* parent = nullptr);

    // Rebuilds the tree from the scan's categories; the root is selected.
    void Build(const CategoryList& categories, const TUnDeleteProgress& progress);
    void Clear();
    // 0 the root ("All Types"), 1 a category, 2 an extension.
    static int Depth(const QTreeWidgetItem& item);
    // A category node's index (its picture number), -1 for other nodes.
    static int CategoryIndex(const QTreeWidgetItem& item);
    // An extension node's extension, as the scan spelled it.
    static QString Extension(const QTreeWidgetItem& item);

private:
    QString allTypes_;
};

class FolderTree : public RdCheckTree {
    Q_OBJECT
public:
    FolderTree(const TLanUse& language, const TUnDeleteProgress& progress, QWidget* parent = nullptr);

    // Rebuilds the tree: the root, a node per drive that kept files, and two
    // levels of folders below each drive. The root is selected.
    void Build(const DiskList& disks, uint32_t foundCount);
    void Clear();
    static int Kind(const QTreeWidgetItem& item);
    // The drive of a drive node; the folder of a folder node.
    static TMyDisk* DiskOf(const QTreeWidgetItem& item);
    static const TMyFolder* FolderOf(const QTreeWidgetItem& item);

private:
    // Adds the sub-folders of `node`'s folder under it; unless `oneLevel`,
    // then their sub-folders under each of them.
    void AddSubFolders(QTreeWidgetItem* node, const TMyFolder& folder, bool oneLevel);
    // The user opened `node`: its children get their own children.
    void Opened(QTreeWidgetItem* node);
    bool Abandoned() const;

    const TUnDeleteProgress& progress_;
    QString allLocations_;
    // The folders that have a node: the tree's own record, so that a load
    // of the same result builds the same tree again.
    std::unordered_set<const TMyFolder*> inTree_;
};

} // namespace gui
