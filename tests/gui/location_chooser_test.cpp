// The location chooser on real volumes: drives from the worker's refresh,
// images given to the program or added by hand, the user's folders in
// FileList.ini, folders on volumes that cannot be scanned, drives this
// process may not open, and the scan's location selection it fills.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include "gui/app/prompt_box.h"
#include "gui/results/result_page.h"
#include "gui/start/location_chooser.h"
#include "gui/start/location_list.h"
#include "gui/start/scan_dial.h"
#include "gui/start/start_page.h"
#include "gui/widgets/check_box.h"
#include "gui/widgets/image_button.h"
#include "gui_test_support.h"
#include "scan/scan_selection.h"
#include "scan/scan_worker.h"
#include "scan_test_support.h"
#include "shell/ini_file.h"

using namespace gui_test;
using gui::RdLocationList;

namespace {

void WriteFileList(const QStringList& lines) {
    QDir().mkpath(QFileInfo(FileListPath()).path());
    QFile file(FileListPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
}

QString StoredFolder(const QString& key) {
    TSafeIniFile ini;
    ini.Load(FileListPath().toStdString());
    return QString::fromStdString(ini.ReadString("Files", key.toStdString(), "<none>"));
}

QListWidgetItem* FolderEntry(RdLocationList& list, const QString& path) {
    for (int i = 0; i < list.count(); ++i)
        if (list.item(i)->data(gui::kPathRole).toString() == path)
            return list.item(i);
    return nullptr;
}

QStringList Texts(const std::vector<std::string>& list) {
    QStringList texts;
    for (const std::string& s : list)
        texts << QString::fromStdString(s);
    return texts;
}

} // namespace

class LocationChooserTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QString NewFolder(const QString& name) {
        const QString path = dir_.path() + QStringLiteral("/places/") + name;
        QDir().mkpath(path);
        return path;
    }

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }
    void init() { QFile::remove(FileListPath()); }

    void TheListWaitsBehindTheLoadingPanelUntilTheDrivesAreKnown() {
        const QString ntfs = Corpus("ntfs-basic.img");
        MainHarness main({ntfs});
        gui::Tfrm_Choose_Location& chooser = *main.window->StartPage()->Chooser();
        QVERIFY(chooser.LoadingPanel()->isVisible());
        QVERIFY(!chooser.DriveListReady());
        QVERIFY(!chooser.AddFolderButton()->isEnabled());
        QVERIFY(main.WaitForDriveList());
        QVERIFY(!chooser.LoadingPanel()->isVisible());
        QVERIFY(chooser.AddFolderButton()->isEnabled());
        QListWidgetItem* image = EntryOf(*chooser.List(), ntfs);
        QVERIFY(image);
        QCOMPARE(RdLocationList::KindOf(image), int(gui::kLocationDrive));
        QVERIFY(image->text().contains(ntfs));
        QCOMPARE(image->checkState(), Qt::Checked);
        QVERIFY(EntryOf(*chooser.List(), QStringLiteral("Recycle Bin")));
        QVERIFY(chooser.CheckAllBox()->isChecked());
    }

    void DrivesThisProcessMayNotOpenAreListedDisabledWithTheReason() {
        MainHarness main({Corpus("ntfs-basic.img")});
        QVERIFY(main.WaitForDriveList());
        RdLocationList& list = *main.window->StartPage()->Chooser()->List();
        const std::vector<std::string>& locked = main.window->ScanWorker().LockedDrives;
        int disabledDrives = 0;
        for (int i = 0; i < list.count(); ++i) {
            QListWidgetItem* item = list.item(i);
            if (RdLocationList::KindOf(item) == gui::kLocationDrive && !RdLocationList::Usable(item)) {
                ++disabledDrives;
                QVERIFY(!(item->flags() & Qt::ItemIsEnabled));
                QCOMPARE(item->checkState(), Qt::Unchecked);
                QVERIFY(!item->data(gui::kHintRole).toString().isEmpty());
            }
        }
        QCOMPARE(disabledDrives, int(locked.size()));
        for (const std::string& name : locked)
            QVERIFY(EntryOf(list, QString::fromStdString(name)));
    }

    void FileListFoldersThatExistAreListedCheckedAndVanishedOnesStayInTheFile() {
        const QString kept = NewFolder(QStringLiteral("Kept"));
        const QString gone = dir_.path() + QStringLiteral("/places/Gone");
        WriteFileList({QStringLiteral("[Files]"), QStringLiteral("0=") + gone, QStringLiteral("7=") + kept});
        MainHarness main({Corpus("ntfs-basic.img")});
        QVERIFY(main.WaitForDriveList());
        RdLocationList& list = *main.window->StartPage()->Chooser()->List();
        QVERIFY(FolderEntry(list, kept));
        QVERIFY(!FolderEntry(list, gone));
        QCOMPARE(StoredFolder(QStringLiteral("0")), gone);
        QCOMPARE(FolderEntry(list, kept)->text(), QStringLiteral("Kept"));
    }

    void AnAddedFolderGoesUnderTheKeyAfterTheLastWhateverTheNumberOfKeys() {
        WriteFileList({QStringLiteral("[Files]"), QStringLiteral("0=") + dir_.path() + QStringLiteral("/places/Gone"),
                       QStringLiteral("7=") + dir_.path() + QStringLiteral("/places/Gone too")});
        const QString added = NewFolder(QStringLiteral("Added"));
        MainHarness main({Corpus("ntfs-basic.img")});
        QVERIFY(main.WaitForDriveList());
        gui::Tfrm_Choose_Location& chooser = *main.window->StartPage()->Chooser();
        QString caption;
        chooser.SetFolderAsker([&](QWidget*, const QString& text) {
            caption = text;
            return added;
        });
        QTest::mouseClick(chooser.AddFolderButton(), Qt::LeftButton);
        Settle();
        QCOMPARE(caption, QStringLiteral("Specify the area you want to scan for deleted files."));
        QCOMPARE(StoredFolder(QStringLiteral("8")), added);
        QVERIFY(FolderEntry(*chooser.List(), added));
        // The same folder again adds nothing.
        QTest::mouseClick(chooser.AddFolderButton(), Qt::LeftButton);
        Settle();
        QCOMPARE(StoredFolder(QStringLiteral("9")), QStringLiteral("<none>"));
        int entries = 0;
        for (int i = 0; i < chooser.List()->count(); ++i)
            entries += chooser.List()->item(i)->data(gui::kPathRole).toString() == added;
        QCOMPARE(entries, 1);
    }

    void ADriveRootOrAMissingFolderIsRefusedSilently() {
        MainHarness main({Corpus("ntfs-basic.img")});
        QVERIFY(main.WaitForDriveList());
        gui::Tfrm_Choose_Location& chooser = *main.window->StartPage()->Chooser();
        const int before = chooser.List()->count();
        QVERIFY(!chooser.AddFolder(QStringLiteral("/")));
        QVERIFY(!chooser.AddFolder(QStringLiteral("C:\\")));
        QVERIFY(!chooser.AddFolder(dir_.path() + QStringLiteral("/places/nowhere")));
        QCOMPARE(chooser.List()->count(), before);
        QVERIFY(!QFile::exists(FileListPath()));
        QVERIFY(!main.window->NoticeBox()->isVisible());
    }

    void TheRemoveMarkDeletesTheFolderFromListAndFileAndAClickElsewhereFlipsIt() {
        const QString first = NewFolder(QStringLiteral("First")), second = NewFolder(QStringLiteral("Second"));
        WriteFileList({QStringLiteral("[Files]"), QStringLiteral("0=") + first, QStringLiteral("1=") + second});
        MainHarness main({Corpus("ntfs-basic.img")});
        QVERIFY(main.WaitForDriveList());
        RdLocationList& list = *main.window->StartPage()->Chooser()->List();
        // A click elsewhere on a drive's entry flips its mark.
        QListWidgetItem* drive = EntryOf(list, Corpus("ntfs-basic.img"));
        ClickEntry(list, drive);
        QCOMPARE(drive->checkState(), Qt::Unchecked);
        QVERIFY(!main.window->StartPage()->Chooser()->CheckAllBox()->isChecked());
        ClickEntry(list, drive);
        QCOMPARE(drive->checkState(), Qt::Checked);
        ClickRemoveMark(list, FolderEntry(list, first));
        Settle();
        QVERIFY(!FolderEntry(list, first));
        QVERIFY(FolderEntry(list, second));
        QCOMPARE(StoredFolder(QStringLiteral("0")), QStringLiteral("<none>"));
        QCOMPARE(StoredFolder(QStringLiteral("1")), second);
        // Delete on the current folder entry does the same.
        list.setCurrentItem(FolderEntry(list, second));
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Delete);
        QVERIFY(!FolderEntry(list, second));
        QCOMPARE(StoredFolder(QStringLiteral("1")), QStringLiteral("<none>"));
    }

    void AFolderOnAVolumeThatCannotBeScannedIsShownDisabledWithTheReason() {
        // This machine's own file system is neither NTFS, FAT nor exFAT.
        const QString folder = NewFolder(QStringLiteral("Outside"));
        MainHarness main({Corpus("ntfs-basic.img")});
        QVERIFY(main.WaitForDriveList());
        gui::Tfrm_Choose_Location& chooser = *main.window->StartPage()->Chooser();
        QVERIFY(chooser.AddFolder(folder));
        QListWidgetItem* entry = FolderEntry(*chooser.List(), folder);
        QVERIFY(entry);
        QVERIFY(!RdLocationList::Usable(entry));
        QVERIFY(!(entry->flags() & Qt::ItemIsEnabled));
        QCOMPARE(entry->checkState(), Qt::Unchecked);
        const QString hint = entry->data(gui::kHintRole).toString();
        QVERIFY2(hint.contains(QStringLiteral("file system of type")) || hint.contains(QStringLiteral("drive")),
                 qPrintable(hint));
        ClickEntry(*chooser.List(), entry);
        QCOMPARE(entry->checkState(), Qt::Unchecked);
        // Kept in the file all the same, and left out of the scan.
        QCOMPARE(StoredFolder(QStringLiteral("0")), folder);
        chooser.CollectScanPaths();
        QVERIFY(main.window->StartPage()->Chooser()->CheckAllBox()->isChecked());
    }

    void AFolderInsideAMountedImageIsScannedAsThatFolderOfTheImage() {
        // The image mounted read-only through ntfs-3g: the mount table names
        // the image file as the folder's source.
        const QString image = dir_.path() + QStringLiteral("/mounted.img");
        QVERIFY(QFile::copy(Corpus("ntfs-basic.img"), image));
        const QString mountPoint = NewFolder(QStringLiteral("mnt"));
        if (QProcess::execute(QStringLiteral("ntfs-3g"), {QStringLiteral("-o"), QStringLiteral("ro"), image, mountPoint}) != 0)
            QSKIP("mounting an NTFS image needs ntfs-3g, FUSE and root");
        const QString folder = mountPoint + QStringLiteral("/Users/Ann");
        MainHarness main({image});
        const bool listed = main.WaitForDriveList();
        gui::Tfrm_Choose_Location& chooser = *main.window->StartPage()->Chooser();
        const bool added = chooser.AddFolder(folder);
        QListWidgetItem* entry = FolderEntry(*chooser.List(), folder);
        const bool usable = entry && RdLocationList::Usable(entry);
        const QString location = entry ? entry->data(gui::kLocationRole).toString() : QString();
        QProcess::execute(QStringLiteral("umount"), {mountPoint});
        QVERIFY(listed && added && entry);
        QVERIFY2(usable, qPrintable(entry->data(gui::kHintRole).toString()));
        QCOMPARE(location, image + QStringLiteral("\\Users\\Ann\\"));
        ChooseOnly(*main.window->StartPage(), {});
        ClickEntry(*chooser.List(), entry);
        chooser.CollectScanPaths();
        const TScanPath& paths = main.window->LocationSelection();
        QCOMPARE(Texts(paths.FLocations), QStringList{location});
        QCOMPARE(Texts(paths.FDrivers), QStringList{image});
        QVERIFY(paths.FWholeDrivers.empty());
        // The scan keeps what the command line keeps for that folder of the volume.
        const int expected = CommandLineCount({image}, {}, {QStringLiteral("--folder"), QStringLiteral("Users/Ann")});
        QVERIFY(expected > 0);
        QVERIFY(expected < CommandLineCount({image}));
        QTest::mouseClick(main.window->StartPage()->ScanButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&main] { return main.window->ResultPage()->isVisible(); }));
        QCOMPARE(int(main.window->Progress().FResultCount), expected);
    }

    void AFolderOnAnNtfsDriveThatWasNotOpenedIsNotBlamedOnItsFileSystem() {
        // An NTFS image mounted read-only, while the window was given another
        // drive: the folder's drive is NTFS, neither listed nor refused.
        const QString image = dir_.path() + QStringLiteral("/unopened.img");
        QVERIFY(QFile::copy(Corpus("ntfs-basic.img"), image));
        const QString mountPoint = NewFolder(QStringLiteral("unopened"));
        if (QProcess::execute(QStringLiteral("ntfs-3g"), {QStringLiteral("-o"), QStringLiteral("ro"), image, mountPoint}) != 0)
            QSKIP("mounting an NTFS image needs ntfs-3g, FUSE and root");
        const QString folder = mountPoint + QStringLiteral("/Users/Ann");
        MainHarness main({Corpus("fat32-basic.img")});
        const bool listed = main.WaitForDriveList();
        gui::Tfrm_Choose_Location& chooser = *main.window->StartPage()->Chooser();
        const bool added = chooser.AddFolder(folder);
        QListWidgetItem* entry = FolderEntry(*chooser.List(), folder);
        const QString hint = entry ? entry->data(gui::kHintRole).toString() : QString();
        const bool usable = entry && RdLocationList::Usable(entry);
        QProcess::execute(QStringLiteral("umount"), {mountPoint});
        QVERIFY(listed && added && entry);
        QVERIFY(!usable);
        QCOMPARE(hint, QStringLiteral("The drive this folder lies on could not be opened for scanning."));
    }

    void RecycleBinWithNoDriveCheckedSelectsEveryDriveForTheRecycleBinPass() {
        const QString ntfs = Corpus("ntfs-basic.img"), fat = Corpus("fat32-basic.img");
        MainHarness main({ntfs, fat});
        QVERIFY(main.WaitForDriveList());
        gui::TFrm_Choose& page = *main.window->StartPage();
        ChooseOnly(page, {QStringLiteral("Recycle Bin")});
        page.Chooser()->CollectScanPaths();
        const TScanPath& paths = main.window->LocationSelection();
        QVERIFY(paths.FRecycleBin);
        QCOMPARE(Texts(paths.FRecycleDrivers), (QStringList{ntfs, fat}));
        QCOMPARE(Texts(paths.FDrivers), (QStringList{ntfs, fat}));
        QVERIFY(paths.FWholeDrivers.empty());
        QVERIFY(paths.FLocations.empty());
    }

    void CheckedDrivesAreScannedWholeAndNothingCheckedSelectsNothing() {
        const QString ntfs = Corpus("ntfs-basic.img"), fat = Corpus("fat32-basic.img");
        MainHarness main({ntfs, fat});
        QVERIFY(main.WaitForDriveList());
        gui::TFrm_Choose& page = *main.window->StartPage();
        ChooseOnly(page, {fat});
        page.Chooser()->CollectScanPaths();
        const TScanPath& paths = main.window->LocationSelection();
        QCOMPARE(Texts(paths.FDrivers), QStringList{fat});
        QCOMPARE(Texts(paths.FWholeDrivers), QStringList{fat});
        QVERIFY(!paths.FRecycleBin);
        ChooseOnly(page, {});
        page.Chooser()->CollectScanPaths();
        QCOMPARE(paths.DriverCount(), 0);
    }

    void AnImageWithoutNtfsOrFatIsRefusedWithTheOfferToSearchItWhole() {
        MainHarness main({Corpus("not-a-filesystem.img")});
        auto& w = *main.window;
        QVERIFY(WaitFor([&w] { return w.QuestionBox()->isVisible(); }, 5000));
        QCOMPARE(w.QuestionBox()->Kind(), gui::Question::SearchWholeImage);
        QCOMPARE(w.QuestionBox()->Text(),
                 QStringLiteral("not-a-filesystem.img holds no NTFS, FAT or exFAT volume where volumes usually start. "
                                "Search the whole image for lost volumes? It is read from end to end."));
        QVERIFY(!w.NoticeBox()->isVisible());
        QTest::mouseClick(w.QuestionBox()->OtherButton(), Qt::LeftButton);
        Settle();
        QVERIFY(!w.Dimmed());
        QVERIFY(main.WaitForDriveList());
        QVERIFY(!EntryOf(*w.StartPage()->Chooser()->List(), Corpus("not-a-filesystem.img")));
    }

    void AddDiskImageAddsAVolumeAsADriveAndRefusesOtherFiles() {
        const QString ntfs = Corpus("ntfs-basic.img"), fat = Corpus("fat32-basic.img");
        MainHarness main({ntfs});
        auto& w = *main.window;
        QVERIFY(main.WaitForDriveList());
        gui::Tfrm_Choose_Location& chooser = *w.StartPage()->Chooser();
        QString answer = fat;
        chooser.SetImageAsker([&answer](QWidget*, const QString&) { return answer; });
        QTest::mouseClick(chooser.AddImageButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&chooser] { return !chooser.ImagesPending(); }, 5000));
        Settle();
        QListWidgetItem* added = EntryOf(*chooser.List(), fat);
        QVERIFY(added);
        QCOMPARE(added->checkState(), Qt::Checked);
        QVERIFY(chooser.List()->row(added) < chooser.List()->row(EntryOf(*chooser.List(), QStringLiteral("Recycle Bin"))));
        QVERIFY(!w.NoticeBox()->isVisible());

        answer = Corpus("not-a-filesystem.img");
        QTest::mouseClick(chooser.AddImageButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&chooser] { return !chooser.ImagesPending(); }, 5000));
        Settle();
        QVERIFY(w.QuestionBox()->isVisible());
        QCOMPARE(w.QuestionBox()->Kind(), gui::Question::SearchWholeImage);
        QTest::mouseClick(w.QuestionBox()->OtherButton(), Qt::LeftButton);
        Settle();

        answer = dir_.path() + QStringLiteral("/no-such.img");
        QTest::mouseClick(chooser.AddImageButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&chooser] { return !chooser.ImagesPending(); }, 5000));
        Settle();
        QCOMPARE(w.NoticeBox()->Kind(), gui::Notice::ImageUnreadable);
        QCOMPARE(w.NoticeBox()->Text(), QStringLiteral("no-such.img cannot be read. Check that the file exists and "
                                                       "that you may read it."));
        QVERIFY(!EntryOf(*chooser.List(), answer));
    }
};

QTEST_MAIN(LocationChooserTest)
#include "location_chooser_test.moc"
