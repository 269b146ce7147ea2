#pragma once
// Tfrm_Choose_Location: the lower panel of the start page, where the user
// chooses where to look: the drives, the desktop, the recycle bins, the
// folders added by hand (kept in FileList.ini) and disk images. It fills its
// list once the scan worker has refreshed the drive list, and before a scan
// it turns the checked entries into the scan's location selection.
#include <functional>
#include <string>

#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "scan/source_check.h"

class QLabel;
class QListWidgetItem;
class RdCheckBox;
class RdImgButton;
class RdRotatingPicture;
class TLanUse;
class TMyDisk;
class TScanPath;
class TThreadScan;

namespace gui {

class RdLocationList;

class Tfrm_Choose_Location : public QWidget {
    Q_OBJECT
public:
    // The folder and file dialogs, which tests answer in their place: given
    // the dialog's parent and caption, the chosen path or empty.
    using PathAsker = std::function<QString(QWidget* parent, const QString& caption)>;
    // Told when a disk image cannot be scanned, with the reason.
    using ImageRefusal = std::function<void(const QString& image, SourceVerdict verdict)>;

    Tfrm_Choose_Location(const TLanUse& language, TThreadScan& worker, TScanPath& paths, ImageRefusal refused,
                         QWidget* parent);

    // The refresh timer's period; each tick turns the spinner by 20 degrees.
    static constexpr int kRefreshTickMs = 80;
    // How often the examination of named images is looked after.
    static constexpr int kImageTickMs = 20;

    // When the start page first shows: the list waits behind the loading
    // panel until the worker has refreshed the drive list.
    void StartLoading();
    // The list is filled, the drive list known and every image named so far examined.
    bool DriveListReady() const { return ready_ && !ImagesPending(); }
    // Fills the scan's location selection from the checked entries.
    void CollectScanPaths();
    // Enables or disables the check-all box, the add buttons and the list.
    void EnableControls(bool enable);

    // Adds a volume image as a drive of the list (the command line's images,
    // "Add Disk Image…"), or tells why it cannot be scanned. The image is
    // examined on the worker's thread, whose first reads may take long on a
    // failing drive: the entry or the refusal follows once it is done.
    void AddVolumeImage(const QString& image);
    // Lists the drives the worker's ended search of a whole image found, as an
    // opened image's are; the worker is idle. False when it found none.
    bool ListSearchedImage();
    // Adds an image that holds no readable file system as a drive to be
    // searched by content (the deep scan of a whole image). One that cannot
    // be opened so is not refused again: it is simply not listed.
    void AddImageForContentSearch(const QString& image);
    // Checks the entries of `image`'s drives and unchecks every other; false
    // when the image has no drive listed.
    bool ChooseOnlyImage(const QString& image);
    // Images named but not yet listed or refused.
    bool ImagesPending() const { return !pendingImages_.isEmpty() || imagesInFlight_; }
    // Adds a folder as the "Add Folder" dialog does; false when it is refused.
    bool AddFolder(const QString& folder);
    void RemoveFolder(QListWidgetItem* item);

    void SetFolderAsker(PathAsker ask) { askFolder_ = std::move(ask); }
    void SetImageAsker(PathAsker ask) { askImage_ = std::move(ask); }

    RdLocationList* List() const { return list_; }
    RdCheckBox* CheckAllBox() const { return checkAll_; }
    RdImgButton* AddFolderButton() const { return addFolder_; }
    RdImgButton* AddImageButton() const { return addImage_; }
    // "Restart as Administrator" in the header, where drives were refused
    // for want of rights and the system can restart the program elevated.
    void OfferRestartAsAdministrator(bool offered = true);
    // Every image named so far, for a restarted window to offer again.
    const QStringList& OfferedImages() const { return offeredImages_; }
    QWidget* LoadingPanel() const { return loading_; }
    // Where the user's folders are kept.
    QString FolderListPath() const;

signals:
    void RestartAsAdministratorRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void OnRefreshTick();
    void OnImageTick();
    // The entry of one drive of an image the worker examined (the image
    // itself, or one of its partitions), checked when already listed.
    void ShowOpenedImage(const QString& image, const std::string& driveName);
    void FillList();
    // The header's controls and the list, for the chooser's size and the
    // header buttons shown.
    void LayOut();
    // A folder's entry, usable or not, for `path` (which exists).
    QListWidgetItem* AddFolderEntry(const QString& path, int row = -1);
    // Sets a folder-like entry's location on its volume, or why it has none.
    void PlaceFolder(QListWidgetItem* item, const QString& path);
    QListWidgetItem* AddDriveEntry(const TMyDisk& disk, int row);
    int UsableDriveCount() const;
    // The desktop and the recycle bins at `row`, once a drive is listed.
    void AddSpecialEntries(int row);
    void UpdateCheckAll();
    void ApplyEnabled();
    void OnCheckAllToggled(bool on);

    const TLanUse& language_;
    TThreadScan& worker_;
    TScanPath& paths_;
    ImageRefusal refused_;
    QStringList pendingImages_;
    // Of the images named, those to be opened for the search by content, and
    // those of them the worker is opening now.
    QStringList contentImages_;
    QStringList contentInFlight_;
    bool imagesInFlight_ = false;
    QTimer imageTimer_;
    PathAsker askFolder_;
    PathAsker askImage_;
    QStringList offeredImages_;

    RdCheckBox* checkAll_;
    RdImgButton* addFolder_;
    RdImgButton* addImage_;
    // Shown on Windows while drives are refused for want of administrator rights.
    RdImgButton* restartAdmin_;
    RdLocationList* list_;
    QWidget* loading_;
    RdRotatingPicture* spinner_;
    QLabel* loadingText_;
    QTimer refreshTimer_;
    int ticks_ = 0;
    bool refreshStarted_ = false;
    bool ready_ = false;
    bool controlsEnabled_ = true;
};

} // namespace gui
