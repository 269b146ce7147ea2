#include "gui/results/result_trees.h"

#include "gui/app/texts.h"
#include "results/location.h"
#include "results/tree_nodes.h"
#include "scan/progress.h"

namespace gui {

namespace {

constexpr int kPictureRole = Qt::UserRole + 10;
constexpr int kPointerRole = Qt::UserRole + 11;
constexpr int kExtensionRole = Qt::UserRole + 12;

const char* const kCategoryArt[] = {"cat-pictures", "cat-videos", "cat-music", "cat-documents", "cat-archives", "cat-others"};

QString CategoryArt(int index) {
    return QString::fromLatin1(kCategoryArt[index >= 0 && index < 6 ? index : 5]);
}

template <typename T>
T* PointerOf(const QTreeWidgetItem& item) {
    return reinterpret_cast<T*>(item.data(0, kPointerRole).value<quintptr>());
}

} // namespace

TypeTree::TypeTree(const TLanUse& language, QWidget* parent)
    : RdCheckTree(parent, false), allTypes_(Tr(language, "M_ALLType", "All Types")) {
    setObjectName(QStringLiteral("RdChkTV_FileTypes"));
}

void TypeTree::Clear() { clear(); }

void TypeTree::Build(const CategoryList& categories, const TUnDeleteProgress& progress) {
    setEnabled(false);
    clear();
    std::vector<results::CategoryNode> nodes;
    for (auto& node : results::TypeTreeOf(categories)) {
        if (progress.FAbort)
            break;
        nodes.push_back(std::move(node));
    }
    qint64 total = 0;
    for (const auto& node : nodes)
        total += node.Count;
    QTreeWidgetItem* root = MakeRow(allTypes_, QStringLiteral("all-types"), total);
    root->setData(0, kPictureRole, kNodeAllTypes);
    addTopLevelItem(root);
    for (const auto& node : nodes) {
        QTreeWidgetItem* category = MakeRow(FromUtf8(node.Text), CategoryArt(node.Index), node.Count);
        category->setData(0, kPictureRole, node.Index);
        QList<QTreeWidgetItem*> extensions;
        for (const auto& e : node.Extensions) {
            QTreeWidgetItem* item = MakeRow(FromUtf8(e.Text), CategoryArt(node.Index), e.Count);
            item->setData(0, kPictureRole, node.Index + 6);
            item->setData(0, kExtensionRole, FromUtf8(e.Text));
            extensions.append(item);
        }
        category->addChildren(extensions);
        root->addChild(category);
    }
    root->setExpanded(true);
    setCurrentItem(root);
    setEnabled(true);
}

int TypeTree::Depth(const QTreeWidgetItem& item) {
    int depth = 0;
    for (const QTreeWidgetItem* up = item.parent(); up; up = up->parent())
        ++depth;
    return depth;
}

int TypeTree::CategoryIndex(const QTreeWidgetItem& item) {
    return Depth(item) == 1 ? item.data(0, kPictureRole).toInt() : -1;
}

QString TypeTree::Extension(const QTreeWidgetItem& item) { return item.data(0, kExtensionRole).toString(); }

FolderTree::FolderTree(const TLanUse& language, const TUnDeleteProgress& progress, QWidget* parent)
    : RdCheckTree(parent, false), progress_(progress), allLocations_(Tr(language, "M_ALLDisk", "All Locations")) {
    setObjectName(QStringLiteral("RdChkTV_Folders"));
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Opened(item); });
}

// Only the program's end stops the build: the scan's own stop flag may
// still stand from a scan the user stopped, whose files are shown all the same.
bool FolderTree::Abandoned() const { return progress_.FAbort; }

void FolderTree::Clear() {
    clear();
    inTree_.clear();
}

void FolderTree::Build(const DiskList& disks, uint32_t foundCount) {
    setEnabled(false);
    Clear();
    QTreeWidgetItem* root = MakeRow(allLocations_, QStringLiteral("all-locations"), foundCount);
    root->setData(0, kPictureRole, kNodeAllLocations);
    addTopLevelItem(root);
    for (TMyDisk* disk : results::DrivesForTree(disks)) {
        if (Abandoned())
            break;
        const bool system = disk->Drive && disk->Drive->IsSystemDrive;
        QTreeWidgetItem* node = MakeRow(FromUtf8(disk->Caption.empty() ? disk->DriveName : disk->Caption),
                                        system ? QStringLiteral("drive-windows") : QStringLiteral("drive"),
                                        disk->AcceptedCount);
        node->setData(0, kPictureRole, system ? kNodeSystemDrive : kNodeDrive);
        node->setData(0, kPointerRole, QVariant::fromValue(reinterpret_cast<quintptr>(disk)));
        root->addChild(node);
        const uint8_t fileSystem = disk->FileSystem();
        if ((fileSystem == kFileSystemNtfs || fileSystem == kFileSystemFat32) && !disk->Folders.empty())
            AddSubFolders(node, *disk->Folders.front(), false);
    }
    root->setExpanded(true);
    setCurrentItem(root);
    setEnabled(true);
}

void FolderTree::AddSubFolders(QTreeWidgetItem* node, const TMyFolder& folder, bool oneLevel) {
    if (Abandoned())
        return;
    QList<QTreeWidgetItem*> children;
    for (TMyFolder* sub : results::SubFoldersForTree(folder)) {
        if (Abandoned())
            break;
        if (!inTree_.insert(sub).second)
            continue;
        QTreeWidgetItem* item = MakeRow(FromUtf8(sub->FolderName), QStringLiteral("folder"), sub->FileCount);
        item->setData(0, kPictureRole, kNodeFolder);
        item->setData(0, kPointerRole, QVariant::fromValue(reinterpret_cast<quintptr>(sub)));
        children.append(item);
    }
    // The children come sorted; a node only gets children while it has none.
    node->addChildren(children);
    if (oneLevel)
        return;
    for (int i = 0; i < node->childCount() && !Abandoned(); ++i)
        if (const TMyFolder* sub = FolderOf(*node->child(i)))
            AddSubFolders(node->child(i), *sub, true);
}

void FolderTree::Opened(QTreeWidgetItem* node) {
    if (Kind(*node) == kNodeFolder)
        if (const TMyFolder* folder = FolderOf(*node))
            AddSubFolders(node, *folder, false);
}

int FolderTree::Kind(const QTreeWidgetItem& item) { return item.data(0, kPictureRole).toInt(); }

TMyDisk* FolderTree::DiskOf(const QTreeWidgetItem& item) {
    const int kind = Kind(item);
    return kind == kNodeDrive || kind == kNodeSystemDrive ? PointerOf<TMyDisk>(item) : nullptr;
}

const TMyFolder* FolderTree::FolderOf(const QTreeWidgetItem& item) {
    return Kind(item) == kNodeFolder ? PointerOf<TMyFolder>(item) : nullptr;
}

} // namespace gui
