// The full search of an image for lost volumes, from the window: an image
// with nothing readable where volumes usually start is offered the search in
// its refusal; accepting it searches the whole image on the scan worker with
// a progress window, and lists what it found as drives, says that nothing was
// found, or, once stopped, adds nothing.
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "gui/app/image_search_controller.h"
#include "gui/app/prompt_box.h"
#include "gui/common/texts.h"
#include "gui/start/image_search_window.h"
#include "gui/start/location_chooser.h"
#include "gui/start/location_list.h"
#include "gui/start/start_page.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/progress_bar.h"
#include "gui/widgets/skin_label.h"
#include "gui_test_support.h"
#include "platform/read_faults.h"
#include "scan/scan_worker.h"
#include "scan_test_support.h"

using namespace gui_test;

namespace {

QString DiskImage(const char* name) { return QStringLiteral(DUNRO_DISKS_DIR "/") + QLatin1String(name); }

// The drives of `image` the chooser lists, by drive name.
QStringList ListedDrivesOf(gui::RdLocationList& list, const QString& image) {
    QStringList drives;
    for (int i = 0; i < list.count(); ++i) {
        const QString drive = list.item(i)->data(gui::kDriveRole).toString();
        if (drive.startsWith(image))
            drives << drive;
    }
    return drives;
}

// Waits for the refusal's offer of `image`, added after the drive list filled.
bool OfferedTheSearch(MainHarness& main, const QString& image) {
    auto& w = *main.window;
    if (!main.WaitForDriveList())
        return false;
    w.AddVolumeImages({image});
    return WaitFor([&w] { return w.QuestionBox()->isVisible(); }, 30000) &&
           w.QuestionBox()->Kind() == gui::Question::SearchWholeImage && !w.NoticeBox()->isVisible();
}

// A file of 3 MiB of zeros: nothing is found on it, and only a failed read can tell otherwise.
QString ZerosImage(const QTemporaryDir& dir, const QString& name) {
    const QString image = dir.path() + QLatin1Char('/') + name;
    QFile zeros(image);
    if (!zeros.open(QIODevice::WriteOnly) || !zeros.resize(3 << 20))
        return {};
    return image;
}

} // namespace

class ImageSearchWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }
    void cleanup() { platform::ClearReadFaults(); }

    void AnImageWithNothingWhereVolumesStartIsOfferedTheWholeSearch() {
        const QString image = DiskImage("mbr-lost.img");
        QVERIFY(QFile::exists(image));
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(OfferedTheSearch(main, image));
        gui::TFMsgBox_RecoverSelect& question = *w.QuestionBox();
        QVERIFY(w.Dimmed());
        QCOMPARE(question.Text(), QStringLiteral("mbr-lost.img holds no NTFS, FAT or exFAT volume where volumes usually "
                                                 "start. Search the whole image for lost volumes? It is read from end "
                                                 "to end."));
        QCOMPARE(question.DefaultButton()->text(), QStringLiteral("Search the whole image"));
        QCOMPARE(question.OtherButton()->text(), QStringLiteral("Close"));
        // Both captions fit their buttons, side by side inside the box.
        QVERIFY(question.OtherButton()->geometry().left() > question.DefaultButton()->geometry().right());
        QVERIFY(question.DefaultButton()->geometry().left() > 0);
        // Close declines: nothing is searched, nothing listed.
        QTest::mouseClick(question.OtherButton(), Qt::LeftButton);
        Settle();
        QVERIFY(!question.isVisible());
        QVERIFY(!w.Dimmed());
        QVERIFY(!w.ImageSearch().Running());
        QVERIFY(ListedDrivesOf(*w.StartPage()->Chooser()->List(), image).isEmpty());
    }

    void AcceptingTheSearchListsTheVolumesItFindsAsCheckedDrives() {
        const QString image = DiskImage("mbr-lost.img");
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(OfferedTheSearch(main, image));
        QTest::mouseClick(w.QuestionBox()->DefaultButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&main] { return main.log->Has(gui::Msg::ImageSearchEnded); }, 60000));
        QVERIFY(WaitFor([&w] { return !w.ImageSearch().Running(); }, 10000));
        Settle();
        QVERIFY(!w.ImageSearch().ProgressWindow()->isVisible());
        // The whole image was looked through.
        QCOMPARE(w.ScanWorker().Search.Done.load(), uint64_t(QFileInfo(image).size()));
        gui::TFrm_ImageSearch& progress = *w.ImageSearch().ProgressWindow();
        progress.Refresh();
        QCOMPARE(progress.Bar()->value(), progress.Bar()->maximum());
        QCOMPARE(progress.AmountLine()->text(), QStringLiteral("148.0 MB of 148.0 MB searched"));
        gui::RdLocationList& list = *w.StartPage()->Chooser()->List();
        const QStringList drives = ListedDrivesOf(list, image);
        // The four volumes of the MBR disk the full search finds (as `dunro scan --search-partitions` does).
        QCOMPARE(drives.size(), 4);
        for (const QString& drive : drives) {
            QListWidgetItem* entry = EntryOf(list, drive);
            QVERIFY(entry->text().startsWith(QStringLiteral("mbr-lost.img \u2014 Partition ")));
            QVERIFY(entry->text().endsWith(QStringLiteral(" MB)")));
            QCOMPARE(entry->checkState(), Qt::Checked);
        }
        QVERIFY(EntryOf(list, image + QStringLiteral("#1"))->text().contains(QStringLiteral("(NTFS, ")));
        QVERIFY(!w.Dimmed());
        QVERIFY(!w.NoticeBox()->isVisible());
    }

    void StoppingTheSearchEndsItAndAddsNothing() {
        const QString image = DiskImage("mbr-lost.img");
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(OfferedTheSearch(main, image));
        // Every read past the first 32 MiB is held up, as on a slow drive.
        const uint64_t size = uint64_t(QFileInfo(image).size());
        platform::SetReadFaults(gui::ToUtf8(image), {{}, {{32u << 20, size, 200}}});
        QTest::mouseClick(w.QuestionBox()->DefaultButton(), Qt::LeftButton);
        gui::TFrm_ImageSearch& progress = *w.ImageSearch().ProgressWindow();
        QVERIFY(WaitFor([&w] { return w.ScanWorker().Search.Done.load() > 0; }, 30000));
        QVERIFY(progress.isVisible());
        QVERIFY(w.Dimmed());
        progress.Refresh();
        QVERIFY(progress.AmountLine()->text().endsWith(QStringLiteral(" searched")));
        QTest::mouseClick(progress.StopButton(), Qt::LeftButton);
        Settle();
        QVERIFY(!progress.StopButton()->isEnabled());
        QVERIFY(WaitFor([&w] { return !w.ImageSearch().Running(); }, 10000));
        QVERIFY(w.ScanWorker().Search.Stopped);
        QVERIFY(w.ScanWorker().Search.Done.load() < size);
        Settle();
        QVERIFY(!progress.isVisible());
        QVERIFY(!w.Dimmed());
        QVERIFY(!w.NoticeBox()->isVisible());
        QVERIFY(ListedDrivesOf(*w.StartPage()->Chooser()->List(), image).isEmpty());
    }

    void EscapeStopsTheSearchToo() {
        const QString image = DiskImage("mbr-lost.img");
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(OfferedTheSearch(main, image));
        platform::SetReadFaults(gui::ToUtf8(image), {{}, {{32u << 20, uint64_t(QFileInfo(image).size()), 200}}});
        QTest::keyClick(w.QuestionBox(), Qt::Key_Return);
        gui::TFrm_ImageSearch& progress = *w.ImageSearch().ProgressWindow();
        QVERIFY(WaitFor([&progress] { return progress.isVisible(); }, 10000));
        QTest::keyClick(&progress, Qt::Key_Escape);
        QVERIFY(main.log->Has(gui::Msg::StopImageSearch) ||
                WaitFor([&main] { return main.log->Has(gui::Msg::StopImageSearch); }, 2000));
        QVERIFY(WaitFor([&w] { return !w.ImageSearch().Running(); }, 10000));
        QVERIFY(w.ScanWorker().Search.Stopped);
        QVERIFY(ListedDrivesOf(*w.StartPage()->Chooser()->List(), image).isEmpty());
    }

    void AnImageOfZerosEndsWithTheOfferOfADeepScan() {
        const QString image = ZerosImage(dir_, QStringLiteral("zeros.img"));
        QVERIFY(!image.isEmpty());
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(OfferedTheSearch(main, image));
        QTest::mouseClick(w.QuestionBox()->DefaultButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&w] { return w.QuestionBox()->isVisible() && w.QuestionBox()->Kind() != gui::Question::SearchWholeImage; },
                        30000));
        QCOMPARE(w.QuestionBox()->Kind(), gui::Question::DeepScanWholeImage);
        QVERIFY(w.QuestionBox()->Text().startsWith(QStringLiteral("No volume was found on zeros.img. ")));
        QVERIFY(!w.NoticeBox()->isVisible());
        QVERIFY(!w.ImageSearch().ProgressWindow()->isVisible());
        QTest::mouseClick(w.QuestionBox()->OtherButton(), Qt::LeftButton);
        Settle();
        QVERIFY(!w.Dimmed());
        QVERIFY(ListedDrivesOf(*w.StartPage()->Chooser()->List(), image).isEmpty());
    }

    // Nothing found where a read failed is no proof that nothing is there: the offer says so.
    void AnImageWithUnreadablePlacesSaysSoInsteadOfNothingFound() {
        const QString image = ZerosImage(dir_, QStringLiteral("failing.img"));
        QVERIFY(!image.isEmpty());
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(OfferedTheSearch(main, image));
        platform::SetReadFaults(gui::ToUtf8(image), {{{2u << 20, 1u << 20}}, {}});
        QTest::mouseClick(w.QuestionBox()->DefaultButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&w] { return w.QuestionBox()->isVisible() && w.QuestionBox()->Kind() != gui::Question::SearchWholeImage; },
                        30000));
        QCOMPARE(w.QuestionBox()->Kind(), gui::Question::DeepScanWholeImage);
        QVERIFY(w.QuestionBox()->Text().startsWith(
            QStringLiteral("No volume was found on failing.img, but 1 of the places where one may start could "
                           "not be read. ")));
    }
};

QTEST_MAIN(ImageSearchWindowTest)
#include "image_search_window_test.moc"
