// A whole-disk image in the window: named on the command line or added with
// "Add Disk Image…", it is listed as a drive per partition it holds, each
// with its own check box, and scanning one lists that partition's deleted
// files, as many as the command line finds there.
#include <QFile>
#include <QTest>

#include "gui/app/prompt_box.h"
#include "gui/results/result_page.h"
#include "gui/start/location_chooser.h"
#include "gui/start/location_list.h"
#include "gui/start/scan_dial.h"
#include "gui/start/start_page.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin_label.h"
#include "gui_test_support.h"
#include "scan_test_support.h"

using namespace gui_test;

namespace {

QString DiskImage(const char* name) { return QStringLiteral(DUNRO_DISKS_DIR "/") + QLatin1String(name); }

// The partitions make-disk-images lays into its MBR disk, in table order.
const QList<QPair<QString, QString>> kReadable = {
    {QStringLiteral("#1"), QStringLiteral("mbr-disk.img \u2014 Partition 1 (NTFS, ")},
    {QStringLiteral("#5"), QStringLiteral("mbr-disk.img \u2014 Partition 5 (FAT32, ")},
    {QStringLiteral("#6"), QStringLiteral("mbr-disk.img \u2014 Partition 6 (NTFS, ")},
    {QStringLiteral("#3"), QStringLiteral("mbr-disk.img \u2014 Partition 3 (FAT16, ")},
};

bool ListsEachPartition(gui::RdLocationList& list, const QString& image) {
    for (const auto& [suffix, caption] : kReadable) {
        QListWidgetItem* entry = EntryOf(list, image + suffix);
        if (!entry || !entry->text().startsWith(caption) || !entry->text().endsWith(QStringLiteral(" MB)")) ||
            !(entry->flags() & Qt::ItemIsUserCheckable) || entry->checkState() != Qt::Checked) {
            qWarning() << "no entry" << caption << (entry ? entry->text() : QString());
            return false;
        }
    }
    return !EntryOf(list, image);
}

} // namespace

class DiskImageWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }

    void AnImageOnTheCommandLineListsItsPartitionsAndScanningOneListsItsDeletedFiles() {
        const QString image = DiskImage("mbr-disk.img");
        QVERIFY(QFile::exists(image));
        const int expected = CommandLineCount({image}, {}, {QStringLiteral("--partition"), QStringLiteral("5")});
        QVERIFY(expected > 0);
        MainHarness main({image});
        auto& w = *main.window;
        gui::TFrm_Choose& page = *w.StartPage();
        QVERIFY(main.WaitForDriveList());
        Settle();
        QVERIFY(ListsEachPartition(*page.Chooser()->List(), image));
        QVERIFY(!w.NoticeBox()->isVisible());

        ChooseOnly(page, {image + QStringLiteral("#5")});
        QTest::mouseClick(page.ScanButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&w] { return w.ResultPage()->isVisible(); }));
        QCOMPARE(HeaderCount(w.ResultPage()->HeaderLabel()->text()), expected);
    }

    void AnImageAddedByItsButtonListsItsPartitionsOnce() {
        const QString image = DiskImage("mbr-disk.img");
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(main.WaitForDriveList());
        gui::Tfrm_Choose_Location& chooser = *w.StartPage()->Chooser();
        chooser.SetImageAsker([&image](QWidget*, const QString&) { return image; });
        // Added twice: the second time checks the entries already there.
        for (int round = 0; round < 2; ++round) {
            QTest::mouseClick(chooser.AddImageButton(), Qt::LeftButton);
            QVERIFY(WaitFor([&chooser] { return !chooser.ImagesPending(); }, 10000));
            Settle();
            QVERIFY(ListsEachPartition(*chooser.List(), image));
        }
        int entries = 0;
        for (int i = 0; i < chooser.List()->count(); ++i)
            entries += chooser.List()->item(i)->data(gui::kDriveRole).toString().startsWith(image);
        QCOMPARE(entries, int(kReadable.size()));
        // In the order of the table, before the desktop and the recycle bins.
        QVERIFY(chooser.List()->row(EntryOf(*chooser.List(), image + QStringLiteral("#1"))) <
                chooser.List()->row(EntryOf(*chooser.List(), image + QStringLiteral("#6"))));
        QVERIFY(chooser.List()->row(EntryOf(*chooser.List(), image + QStringLiteral("#6"))) <
                chooser.List()->row(EntryOf(*chooser.List(), QStringLiteral("Recycle Bin"))));
        QVERIFY(!w.NoticeBox()->isVisible());
    }
};

QTEST_MAIN(DiskImageWindowTest)
#include "disk_image_window_test.moc"
