#include "gui/start/location_chooser.h"

#include <QFileDialog>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>

#include "gui/common/texts.h"
#include "gui/common/trace.h"
#include "gui/start/location_list.h"
#include "gui/widgets/check_box.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/rotating_picture.h"
#include "gui/widgets/skin.h"
#include "platform/device.h"
#include "platform/drives.h"
#include "platform/elevation.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "scan/disk_drives.h"
#include "scan/scan_selection.h"
#include "scan/scan_worker.h"
#include "shell/folder_list.h"
#include "volume/helpers.h"

namespace gui {
namespace {

// Column 0 of the two special entries: fixed names, whatever the language.
const QString kDesktopName = QStringLiteral("Desktop");
const QString kRecycleBinName = QStringLiteral("Recycle Bin");

constexpr int kHeaderHeight = 54;
constexpr int kMargin = 14;

// The list's stand-in while the drives are being examined.
class LoadingCover : public QWidget {
public:
    LoadingCover(RdRotatingPicture& spinner, QWidget* parent) : QWidget(parent), spinner_(spinner) {
        connect(&spinner_, &RdRotatingPicture::Changed, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.fillRect(rect(), skin::Colors().panel);
        const int side = 44;
        p.translate(width() / 2.0, height() / 2.0 - 18);
        p.rotate(spinner_.Angle());
        p.drawPixmap(QRect(-side / 2, -side / 2, side, side), skin::Art(QStringLiteral("spinner"), {side, side}));
    }

private:
    RdRotatingPicture& spinner_;
};

// Why a drive this process may not open is shown disabled.
QString RefusedHint(const TLanUse& language) {
    return platform::HasAdministratorRights()
               ? Tr(language, "M_DriveRefused", "The system does not let this program read this drive.")
               : Tr(language, "M_NeedAdmin", "Reading raw drives needs administrator rights.");
}

// The names the systems give NTFS and FAT volumes, and FUSE's, which hide
// the type: "fuseblk" for a device, plain "fuse" for ntfs-3g on an image file.
bool MaybeScannable(const std::string& fileSystem) {
    QString name = FromUtf8(fileSystem).toLower();
    for (const char* known :
         {"", "ntfs", "ntfs3", "fuseblk", "fuse", "vfat", "msdos", "fat", "fat32", "fat16", "fat12", "exfat"})
        if (name == QLatin1String(known))
            return true;
    return false;
}

QString FileSystemName(const TLanUse& language, uint8_t fileSystem) {
    switch (fileSystem) {
    case kFileSystemContent:
        // No file system is read on it: its files are found by their content.
        return Tr(language, "M_ReadByContent", "Searched by content");
    case kFileSystemNtfs:
        return QStringLiteral("NTFS");
    case kFileSystemFat16:
        return QStringLiteral("FAT16");
    case kFileSystemFat12:
        return QStringLiteral("FAT12");
    case kFileSystemExfat:
        return QStringLiteral("exFAT");
    default:
        return QStringLiteral("FAT32");
    }
}

} // namespace

Tfrm_Choose_Location::Tfrm_Choose_Location(const TLanUse& language, TThreadScan& worker, TScanPath& paths,
                                           ImageRefusal refused, QWidget* parent)
    : QWidget(parent),
      language_(language),
      worker_(worker),
      paths_(paths),
      refused_(std::move(refused)),
      checkAll_(new RdCheckBox(RdCheckBox::Look::Box, this)),
      addFolder_(new RdImgButton(RdImgButton::Look::Secondary, this)),
      addImage_(new RdImgButton(RdImgButton::Look::Secondary, this)),
      restartAdmin_(new RdImgButton(RdImgButton::Look::Secondary, this)),
      list_(new RdLocationList(this)),
      spinner_(new RdRotatingPicture(20, kRefreshTickMs, this)),
      loadingText_(nullptr) {
    setObjectName(QStringLiteral("frm_Choose_Location"));
    loading_ = new LoadingCover(*spinner_, this);
    loadingText_ = new QLabel(Tr(language, "M_Loading", "Loading..."), loading_);
    loadingText_->setObjectName(QStringLiteral("Lbl_Loading"));
    loadingText_->setAlignment(Qt::AlignCenter);
    loadingText_->setFont(skin::Font(13));
    loading_->setObjectName(QStringLiteral("Pnl_Loading"));
    loading_->setAccessibleName(loadingText_->text());
    loading_->hide();

    checkAll_->setObjectName(QStringLiteral("RdCheckBox_AllLocation"));
    checkAll_->setText(Tr(language, "M_ScanLocation", "Scan Location"));
    checkAll_->setFont(skin::Font(14, true));
    addFolder_->setObjectName(QStringLiteral("RdImgBtn_AddFolder"));
    addFolder_->SetCaption(Tr(language, "M_AddFolder", "Add Folder"));
    addFolder_->SetArt(QStringLiteral("folder"));
    addImage_->setObjectName(QStringLiteral("RdImgBtn_AddImage"));
    addImage_->SetCaption(Tr(language, "M_AddImage", "Add Disk Image…"));
    addImage_->SetArt(QStringLiteral("disk-image"));
    restartAdmin_->setObjectName(QStringLiteral("RdImgBtn_RestartAdmin"));
    restartAdmin_->SetCaption(Tr(language, "M_RestartAdmin", "Restart as Administrator"));
    restartAdmin_->SetArt(QStringLiteral("shield"));
    restartAdmin_->setAccessibleDescription(Tr(language, "M_NeedAdmin", "Reading raw drives needs administrator rights."));
    restartAdmin_->hide();
    list_->setObjectName(QStringLiteral("RdListView_Location"));
    list_->setAccessibleName(checkAll_->text());
    list_->SetRemoveHint(Tr(language, "M_Delete", "Delete"));
    setTabOrder(checkAll_, list_);
    setTabOrder(list_, addImage_);
    setTabOrder(addImage_, addFolder_);
    setTabOrder(addFolder_, restartAdmin_);

    askFolder_ = [](QWidget* parent, const QString& caption) {
        return QFileDialog::getExistingDirectory(parent, caption);
    };
    askImage_ = [](QWidget* parent, const QString& caption) { return QFileDialog::getOpenFileName(parent, caption); };

    connect(checkAll_, &QCheckBox::toggled, this, [this](bool on) { OnCheckAllToggled(on); });
    connect(list_, &RdLocationList::CheckFlipped, this, [this] { UpdateCheckAll(); });
    connect(list_, &RdLocationList::RemoveRequested, this, [this](QListWidgetItem* item) { RemoveFolder(item); });
    connect(addFolder_, &QPushButton::clicked, this, [this] {
        const QString folder = askFolder_(window(), Tr(language_, "M_BrowserDes",
                                                         "Specify the area you want to scan for deleted files."));
        if (!folder.isEmpty())
            AddFolder(folder);
    });
    connect(addImage_, &QPushButton::clicked, this, [this] {
        const QString image = askImage_(window(), Tr(language_, "M_ImageDialog", "Choose a disk image to scan"));
        if (!image.isEmpty())
            AddVolumeImage(image);
    });
    connect(restartAdmin_, &QPushButton::clicked, this, [this] { emit RestartAsAdministratorRequested(); });
    refreshTimer_.setInterval(kRefreshTickMs);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] { OnRefreshTick(); });
    imageTimer_.setInterval(kImageTickMs);
    connect(&imageTimer_, &QTimer::timeout, this, [this] { OnImageTick(); });
}

QString Tfrm_Choose_Location::FolderListPath() const { return FromUtf8(platform::DataFolder() + "FileList.ini"); }

void Tfrm_Choose_Location::resizeEvent(QResizeEvent*) { LayOut(); }

void Tfrm_Choose_Location::LayOut() {
    const QSize box = checkAll_->sizeHint();
    checkAll_->setGeometry(kMargin + 4, (kHeaderHeight - box.height()) / 2 + 2, box.width(), box.height());
    int right = width() - kMargin;
    for (RdImgButton* button : {addFolder_, addImage_, restartAdmin_}) {
        if (button->isHidden())
            continue;
        const QSize size = button->sizeHint();
        right -= size.width();
        button->setGeometry(right, (kHeaderHeight - size.height()) / 2 + 2, size.width(), size.height());
        right -= 10;
    }
    const QRect listArea(2, kHeaderHeight, width() - 4, height() - kHeaderHeight - 8);
    list_->setGeometry(listArea);
    loading_->setGeometry(listArea);
    loadingText_->setGeometry(0, loading_->height() / 2 + 12, loading_->width(), 24);
}

void Tfrm_Choose_Location::paintEvent(QPaintEvent*) {
    const skin::Palette& c = skin::Colors();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), skin::kRadius + 2, skin::kRadius + 2);
    p.fillPath(card, c.panel);
    p.setPen(c.border);
    p.drawPath(card);
    p.drawLine(QPointF(1, kHeaderHeight - 0.5), QPointF(width() - 1, kHeaderHeight - 0.5));
}

void Tfrm_Choose_Location::StartLoading() {
    // The drives are examined once; the images named so far are already in
    // the worker's list and stay there through the refresh.
    if (ready_ || refreshTimer_.isActive())
        return;
    loading_->show();
    loading_->raise();
    ApplyEnabled();
    ticks_ = 0;
    refreshTimer_.start();
}

void Tfrm_Choose_Location::OnRefreshTick() {
    spinner_->SetAngle(spinner_->Angle() + 20);
    ++ticks_;
    // The third tick lets the window appear before the drives are examined;
    // images named before wait for it, or it for them.
    if (ticks_ >= 3 && !refreshStarted_ && !worker_.Busy()) {
        refreshStarted_ = true;
        worker_.StartDriveRefresh();
    }
    if (refreshStarted_ && worker_.EnumDone.load())
        FillList();
}

int Tfrm_Choose_Location::UsableDriveCount() const {
    int drives = 0;
    for (int i = 0; i < list_->count(); ++i) {
        const QListWidgetItem* item = list_->item(i);
        const int kind = RdLocationList::KindOf(item);
        drives += (kind == kLocationDrive || kind == kLocationSystemDrive) && RdLocationList::Usable(item);
    }
    return drives;
}

void Tfrm_Choose_Location::AddSpecialEntries(int row) {
    // The desktop and the recycle bins lie on the drives: without one they offer nothing.
    if (UsableDriveCount() == 0)
        return;
    bool desktopListed = false, recycleListed = false;
    for (int i = 0; i < list_->count(); ++i) {
        desktopListed = desktopListed || RdLocationList::KindOf(list_->item(i)) == kLocationDesktop;
        recycleListed = recycleListed || RdLocationList::KindOf(list_->item(i)) == kLocationRecycleBin;
    }
    const QString desktop = FromUtf8(platform::DesktopFolder());
    if (!desktopListed && !desktop.isEmpty() && platform::DirectoryExists(ToUtf8(desktop))) {
        QListWidgetItem* item = list_->AddEntry(kLocationDesktop, Tr(language_, "M_Desktop", "Desktop"), kDesktopName, {},
                                                row++);
        RdLocationList::SetDetail(item, desktop);
        PlaceFolder(item, desktop);
    }
    if (!recycleListed)
        list_->AddEntry(kLocationRecycleBin, Tr(language_, "M_RecycleBin", "Recycle Bin"), kRecycleBinName, {}, row);
}

QListWidgetItem* Tfrm_Choose_Location::AddDriveEntry(const TMyDisk& disk, int row) {
    const int kind = disk.Drive->IsSystemDrive ? kLocationSystemDrive : kLocationDrive;
    QListWidgetItem* item = list_->AddEntry(kind, FromUtf8(disk.Caption), FromUtf8(disk.DriveName), {}, row);
    RdLocationList::SetDetail(item, FileSystemName(language_, disk.FileSystem()) + QStringLiteral(" · ") +
                                        FromUtf8(volume::SizeText(disk.Drive->TotalBytes)));
    if (platform::IsVolumeImage(disk.DriveName) || scan::IsImagePartitionDrive(disk.DriveName))
        item->setData(kArtRole, QStringLiteral("disk-image"));
    return item;
}

void Tfrm_Choose_Location::FillList() {
    refreshTimer_.stop();
    auto listed = [this](int role, const QString& value) {
        for (int i = 0; i < list_->count(); ++i)
            if (list_->item(i)->data(role).toString() == value)
                return true;
        return false;
    };
    // The usable drives at the top, in the worker's order.
    int row = 0;
    for (const auto& disk : worker_.Disks) {
        if (!disk->Drive->SizesKnown || disk->Drive->TotalBytes <= 0 || listed(kDriveRole, FromUtf8(disk->DriveName)))
            continue;
        AddDriveEntry(*disk, row++);
    }
    // Drives this process may not open are shown, so that an empty list explains itself.
    for (const std::string& name : worker_.LockedDrives) {
        if (listed(kDriveRole, FromUtf8(name)))
            continue;
        QListWidgetItem* item = list_->AddEntry(
            kLocationDrive, Tr(language_, "M_LocalDisk", "Local Disk") + QStringLiteral(" (") + FromUtf8(name) + ')',
            FromUtf8(name), {}, row++);
        RdLocationList::SetUnusable(item, RefusedHint(language_));
    }
    if (!worker_.LockedDrives.empty() && platform::CanRestartElevated())
        OfferRestartAsAdministrator();
    AddSpecialEntries(list_->count());
    for (const std::string& folder : TFolderListFile(ToUtf8(FolderListPath())).Folders()) {
        // A folder that has gone stays in the file, in case it comes back.
        if (!platform::DirectoryExists(folder) || listed(kPathRole, FromUtf8(folder)))
            continue;
        AddFolderEntry(FromUtf8(folder));
    }
    loading_->hide();
    ready_ = true;
    ApplyEnabled();
    UpdateCheckAll();
    qCDebug(dunroGui) << "location list filled:" << list_->count() << "entries";
}

void Tfrm_Choose_Location::OfferRestartAsAdministrator(bool offered) {
    restartAdmin_->setVisible(offered);
    LayOut();
}

void Tfrm_Choose_Location::PlaceFolder(QListWidgetItem* item, const QString& path) {
    const auto place = platform::LocateFolder(ToUtf8(path));
    const TMyDisk* disk = nullptr;
    if (place && !place->drive.empty())
        for (const auto& candidate : worker_.Disks)
            if (platform::DriveNamesEqual(candidate->DriveName, place->drive))
                disk = candidate.get();
    if (disk) {
        // The scan names a folder by its drive and its path inside the
        // volume; the closing "\" keeps "Ann" from also choosing "Anna".
        std::string location = disk->DriveName + "\\";
        if (!place->pathInside.empty())
            location += place->pathInside + "\\";
        item->setData(kLocationRole, FromUtf8(location));
        return;
    }
    // A drive this process may not open could still hold NTFS, FAT or exFAT,
    // unless the file system is known to be another.
    bool locked = false;
    if (place && !place->drive.empty() && MaybeScannable(place->fileSystem))
        for (const std::string& name : worker_.LockedDrives)
            locked = locked || platform::DriveNamesEqual(name, place->drive);
    if (locked) {
        RdLocationList::SetUnusable(item, RefusedHint(language_));
        return;
    }
    // Only a type known to be another is given as the reason: an NTFS drive
    // that is neither listed nor refused was simply not opened.
    if (!place || place->drive.empty() || MaybeScannable(place->fileSystem)) {
        RdLocationList::SetUnusable(item, Tr(language_, "M_FolderDriveNotOpened",
                                             "The drive this folder lies on could not be opened for scanning."));
        return;
    }
    QString hint = Tr(language_, "M_FolderUnscannable",
                      "This folder lies on a file system of type %s. Only NTFS, FAT and exFAT volumes can be scanned.");
    hint.replace(QLatin1String("%s"), FromUtf8(place->fileSystem), Qt::CaseInsensitive);
    RdLocationList::SetUnusable(item, hint);
}

QListWidgetItem* Tfrm_Choose_Location::AddFolderEntry(const QString& path, int row) {
    const std::string utf8 = ToUtf8(path);
    const auto place = platform::LocateFolder(utf8);
    const QString drive = place && !place->drive.empty() ? FromUtf8(place->drive)
                                                         : FromUtf8(platform::DriveOfFolder(utf8));
    QString name = path;
    while (name.size() > 1 && (name.endsWith('/') || name.endsWith('\\')))
        name.chop(1);
    name = name.mid(std::max(name.lastIndexOf('/'), name.lastIndexOf('\\')) + 1);
    QListWidgetItem* item = list_->AddEntry(kLocationFolder, name, drive, path, row);
    RdLocationList::SetDetail(item, path);
    PlaceFolder(item, path);
    return item;
}

bool Tfrm_Choose_Location::AddFolder(const QString& folder) {
    const std::string utf8 = ToUtf8(folder);
    // A drive's root is chosen through its drive entry, not as a folder.
    if (!platform::DirectoryExists(utf8) || folder.size() <= 3)
        return false;
    if (const auto place = platform::LocateFolder(utf8); place && !place->drive.empty() && place->pathInside.empty())
        return false;
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        if (RdLocationList::KindOf(item) == kLocationFolder &&
            platform::SamePath(ToUtf8(item->data(kPathRole).toString()), utf8)) {
            if (RdLocationList::Usable(item))
                item->setCheckState(Qt::Checked);
            UpdateCheckAll();
            return true;
        }
    }
    AddFolderEntry(folder);
    TFolderListFile(ToUtf8(FolderListPath())).Add(utf8);
    UpdateCheckAll();
    return true;
}

void Tfrm_Choose_Location::RemoveFolder(QListWidgetItem* item) {
    if (!item || RdLocationList::KindOf(item) != kLocationFolder)
        return;
    const QString path = item->data(kPathRole).toString();
    if (path.isEmpty())
        return;
    TFolderListFile(ToUtf8(FolderListPath())).Remove(ToUtf8(path));
    delete list_->takeItem(list_->row(item));
    UpdateCheckAll();
}

void Tfrm_Choose_Location::AddVolumeImage(const QString& image) {
    offeredImages_ << image;
    pendingImages_ << image;
    if (!imageTimer_.isActive())
        imageTimer_.start();
    OnImageTick();
}

void Tfrm_Choose_Location::OnImageTick() {
    // The worker's drive list may change only while it is idle, and not
    // between the end of a refresh and the list filled from it.
    if (worker_.Busy() || (refreshStarted_ && !ready_))
        return;
    if (imagesInFlight_) {
        if (!worker_.ImagesOpened.load(std::memory_order_acquire))
            return;
        imagesInFlight_ = false;
        worker_.AdoptOpenedImages();
        for (const OpenedImage& opened : worker_.OpenedImages) {
            if (opened.Verdict != SourceVerdict::Usable || opened.DriveNames.empty()) {
                if (refused_ && !contentInFlight_.contains(FromUtf8(opened.Name)))
                    refused_(FromUtf8(opened.Name), opened.Verdict == SourceVerdict::Usable
                                                        ? SourceVerdict::OtherFileSystem
                                                        : opened.Verdict);
                continue;
            }
            // A disk image lists a drive per volume, in the order of its table.
            for (const std::string& drive : opened.DriveNames)
                ShowOpenedImage(FromUtf8(opened.Name), drive);
        }
        worker_.OpenedImages.clear();
        contentInFlight_.clear();
    }
    if (pendingImages_.isEmpty()) {
        imageTimer_.stop();
        return;
    }
    for (const QString& image : pendingImages_) {
        worker_.ImagesToOpen.push_back(ToUtf8(image));
        if (contentImages_.removeAll(image) > 0) {
            worker_.ImagesByContent.push_back(ToUtf8(image));
            contentInFlight_ << image;
        }
    }
    pendingImages_.clear();
    imagesInFlight_ = true;
    worker_.StartImageOpen();
}

void Tfrm_Choose_Location::AddImageForContentSearch(const QString& image) {
    contentImages_ << image;
    pendingImages_ << image;
    if (!imageTimer_.isActive())
        imageTimer_.start();
    OnImageTick();
}

bool Tfrm_Choose_Location::ChooseOnlyImage(const QString& image) {
    const TMyDisk* disk = ListedDisk(worker_.Disks, ToUtf8(image));
    if (!disk)
        return false;
    const QString drive = FromUtf8(disk->DriveName);
    bool found = false;
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        const int kind = RdLocationList::KindOf(item);
        const bool isIt = (kind == kLocationDrive || kind == kLocationSystemDrive) &&
                          item->data(kDriveRole).toString() == drive && RdLocationList::Usable(item);
        found = found || isIt;
        item->setCheckState(isIt ? Qt::Checked : Qt::Unchecked);
    }
    UpdateCheckAll();
    return found;
}

bool Tfrm_Choose_Location::ListSearchedImage() {
    const OpenedImage& found = worker_.Search.Found;
    if (found.DriveNames.empty())
        return false;
    worker_.AdoptSearchedImage();
    for (const std::string& drive : found.DriveNames)
        ShowOpenedImage(FromUtf8(found.Name), drive);
    return true;
}

void Tfrm_Choose_Location::ShowOpenedImage(const QString& image, const std::string& driveName) {
    TMyDisk* disk = ListedDisk(worker_.Disks, driveName);
    if (!disk) {
        if (refused_)
            refused_(image, SourceVerdict::OtherFileSystem);
        return;
    }
    if (!ready_)
        return;  // listed with the drives when the list fills
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        if (RdLocationList::KindOf(item) != kLocationFolder && item->data(kDriveRole).toString() == FromUtf8(disk->DriveName)) {
            item->setCheckState(Qt::Checked);
            UpdateCheckAll();
            return;
        }
    }
    // After the drives already listed, and with the desktop and the recycle
    // bins when it is the first.
    auto isDrive = [this](int row) {
        if (row >= list_->count())
            return false;
        const int kind = RdLocationList::KindOf(list_->item(row));
        return kind == kLocationDrive || kind == kLocationSystemDrive;
    };
    int row = 0;
    while (isDrive(row) && RdLocationList::Usable(list_->item(row)))
        ++row;
    AddDriveEntry(*disk, row);
    int afterDrives = row + 1;
    while (isDrive(afterDrives))
        ++afterDrives;
    AddSpecialEntries(afterDrives);
    UpdateCheckAll();
}

void Tfrm_Choose_Location::UpdateCheckAll() {
    int usable = 0, checked = 0;
    for (int i = 0; i < list_->count(); ++i) {
        const QListWidgetItem* item = list_->item(i);
        if (!RdLocationList::Usable(item))
            continue;
        ++usable;
        checked += item->checkState() == Qt::Checked;
    }
    // Following the entries, the box does not set them in turn.
    const QSignalBlocker quiet(checkAll_);
    checkAll_->setChecked(usable > 0 && checked == usable);
}

void Tfrm_Choose_Location::OnCheckAllToggled(bool on) {
    const Qt::CheckState state = on ? Qt::Checked : Qt::Unchecked;
    for (int i = 0; i < list_->count(); ++i)
        if (QListWidgetItem* item = list_->item(i); RdLocationList::Usable(item))
            item->setCheckState(state);
    UpdateCheckAll();
}

void Tfrm_Choose_Location::EnableControls(bool enable) {
    controlsEnabled_ = enable;
    ApplyEnabled();
}

void Tfrm_Choose_Location::ApplyEnabled() {
    // Nothing can be chosen or added while the drives are being examined.
    const bool enable = controlsEnabled_ && ready_;
    checkAll_->setEnabled(enable);
    addFolder_->setEnabled(enable);
    addImage_->setEnabled(enable);
    restartAdmin_->setEnabled(enable);
    list_->setEnabled(enable);
}

void Tfrm_Choose_Location::CollectScanPaths() {
    paths_.Clear();
    auto driveEntries = [this] {
        std::vector<std::string> drives;
        for (int i = 0; i < list_->count(); ++i) {
            const QListWidgetItem* item = list_->item(i);
            const int kind = RdLocationList::KindOf(item);
            if ((kind == kLocationDrive || kind == kLocationSystemDrive) && RdLocationList::Usable(item))
                drives.push_back(ToUtf8(item->data(kDriveRole).toString()));
        }
        return drives;
    };
    for (int i = 0; i < list_->count(); ++i) {
        const QListWidgetItem* item = list_->item(i);
        if (item->checkState() != Qt::Checked || !RdLocationList::Usable(item))
            continue;
        const std::string drive = ToUtf8(item->data(kDriveRole).toString());
        switch (RdLocationList::KindOf(item)) {
        case kLocationFolder:
        case kLocationDesktop:
            if (const QString location = item->data(kLocationRole).toString(); !location.isEmpty())
                paths_.AddLocation(ToUtf8(location));
            break;
        case kLocationDrive:
        case kLocationSystemDrive:
            paths_.AddDriver(drive);
            paths_.AddWholeDriver(drive);
            break;
        case kLocationRecycleBin:
            // The recycle bins of every drive of the list, checked or not.
            paths_.FRecycleBin = true;
            for (const std::string& name : driveEntries()) {
                paths_.AddRecycleDriver(name);
                if (!paths_.HasDriver(name))
                    paths_.AddDriver(name);
            }
            break;
        default:
            break;
        }
    }
    auto joined = [](const std::vector<std::string>& list) {
        QStringList texts;
        for (const std::string& s : list)
            texts << FromUtf8(s);
        return texts.join(QStringLiteral(" | "));
    };
    qCDebug(dunroGui) << "FLocations.Text=" << joined(paths_.FLocations);
    qCDebug(dunroGui) << "FDrivers.Text=" << joined(paths_.FDrivers);
}

} // namespace gui
