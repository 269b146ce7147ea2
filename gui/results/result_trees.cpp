#include "gui/results/result_trees.h"

#include "gui/common/texts.h"
#include "results/location.h"
#include "results/tree_nodes.h"
#include "scan/progress.h"

namespace gui {

namespace {

// A node of either tree. Its picture, count and what a screen reader says
// are worked out when asked, so that a node costs little more than its text:
// the folder tree may hold thousands.
class ResultNode : public QTreeWidgetItem {
public:
    ResultNode(const QString& text, int picture, qint64 count, QString art, TMyDisk* disk = nullptr,
               const TMyFolder* folder = nullptr)
        : picture_(picture), count_(count), disk_(disk), folder_(folder), art_(std::move(art)) {
        setText(0, text);
        setFlags(flags() & ~Qt::ItemIsUserCheckable);
    }
    QVariant data(int column, int role) const override {
        switch (role) {
        case RdCheckTree::kArtRole:
            return art_;
        case RdCheckTree::kCountRole:
            return count_;
        case Qt::AccessibleTextRole:
            return text(0) + QStringLiteral(" (") + QString::number(count_) + QLatin1Char(')');
        default:
            return QTreeWidgetItem::data(column, role);
        }
    }
    int Picture() const { return picture_; }
    TMyDisk* Disk() const { return disk_; }
    const TMyFolder* Folder() const { return folder_; }

private:
    int picture_;
    qint64 count_;
    TMyDisk* disk_;  // the drive list owns it; the node only hands it back
    const TMyFolder* folder_;
    QString art_;
};

const ResultNode* NodeOf(const QTreeWidgetItem& item) { return dynamic_cast<const ResultNode*>(&item); }

const char* const kCategoryArt[] = {"cat-pictures", "cat-videos", "cat-music", "cat-documents", "cat-archives", "cat-others"};

QString CategoryArt(int index) {
    return QString::fromLatin1(kCategoryArt[index >= 0 && index < 6 ? index : 5]);
}

int PictureOf(const QTreeWidgetItem& item) {
    const ResultNode* node = NodeOf(item);
    return node ? node->Picture() : -1;
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
    auto* root = new ResultNode(allTypes_, kNodeAllTypes, total, QStringLiteral("all-types"));
    addTopLevelItem(root);
    for (const auto& node : nodes) {
        auto* category = new ResultNode(FromUtf8(node.Text), node.Index, node.Count, CategoryArt(node.Index));
        QList<QTreeWidgetItem*> extensions;
        for (const auto& e : node.Extensions)
            extensions.append(new ResultNode(FromUtf8(e.Text), node.Index + 6, e.Count, CategoryArt(node.Index)));
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

int TypeTree::CategoryIndex(const QTreeWidgetItem& item) { return Depth(item) == 1 ? PictureOf(item) : -1; }

QString TypeTree::Extension(const QTreeWidgetItem& item) { return Depth(item) == 2 ? item.text(0) : QString(); }

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
    auto* root = new ResultNode(allLocations_, kNodeAllLocations, foundCount, QStringLiteral("all-locations"));
    addTopLevelItem(root);
    for (TMyDisk* disk : results::DrivesForTree(disks)) {
        if (Abandoned())
            break;
        const bool system = disk->Drive && disk->Drive->IsSystemDrive;
        auto* node = new ResultNode(FromUtf8(disk->Caption.empty() ? disk->DriveName : disk->Caption),
                                    system ? kNodeSystemDrive : kNodeDrive, disk->AcceptedCount,
                                    system ? QStringLiteral("drive-windows") : QStringLiteral("drive"), disk);
        root->addChild(node);
        // Which reader read it: "exFAT", "FAT16", "FAT12" as the chooser names them.
        if (disk->Reader)
            node->setToolTip(0, FromUtf8(disk->Reader->FileSystemName()));
        const uint8_t fileSystem = disk->FileSystem();
        // A drive searched by content has its folders too: "Found by content" and a folder per kind.
        if ((fileSystem == kFileSystemNtfs || IsFatFileSystem(fileSystem) || fileSystem == kFileSystemExfat ||
             fileSystem == kFileSystemContent) &&
            !disk->Folders.empty())
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
        children.append(new ResultNode(FromUtf8(sub->FolderName), kNodeFolder, sub->FileCount, QStringLiteral("folder"), nullptr, sub));
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

int FolderTree::Kind(const QTreeWidgetItem& item) { return PictureOf(item); }

TMyDisk* FolderTree::DiskOf(const QTreeWidgetItem& item) {
    const int kind = Kind(item);
    return kind == kNodeDrive || kind == kNodeSystemDrive ? NodeOf(item)->Disk() : nullptr;
}

const TMyFolder* FolderTree::FolderOf(const QTreeWidgetItem& item) {
    return Kind(item) == kNodeFolder ? NodeOf(item)->Folder() : nullptr;
}

} // namespace gui
