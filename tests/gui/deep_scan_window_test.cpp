// The deep scan from the window, on the test card whose FAT32 boot sector and
// tables were zeroed (tests/support/make-content-images): the card is offered
// the search for lost volumes, then, when that finds none, question 8; its
// YES scans the card by content, the pictures show under "Found by content"
// and preview. And the start page's deep-scan box: remembered, reachable.
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include "gui/app/prompt_box.h"
#include "gui/app/scan_controller.h"
#include "gui/preview/picture_view.h"
#include "gui/preview/preview_window.h"
#include "gui/results/result_list.h"
#include "gui/results/result_list_model.h"
#include "gui/results/result_page.h"
#include "gui/results/result_trees.h"
#include "gui/start/location_chooser.h"
#include "gui/start/location_list.h"
#include "gui/start/scan_dial.h"
#include "gui/start/start_page.h"
#include "gui/start/type_tile.h"
#include "gui/widgets/check_box.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin_label.h"
#include "gui_test_support.h"
#include "platform/read_faults.h"
#include "results/result_view.h"
#include "scan/disk.h"
#include "scan/progress.h"
#include "scan/scan_worker.h"
#include "scan_test_support.h"
#include "volume/records.h"

using namespace gui_test;

namespace {

const QString kCard = QStringLiteral(DUNRO_CONTENT_IMAGES_DIR "/content-fat32-raw.img");

// The card's pictures that are still whole, by the name the search gives them.
QStringList WholePicturesOfTheCard() {
    QFile in(kCard + QStringLiteral(".manifest.json"));
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QStringList names;
    for (const QJsonValue& entry : QJsonDocument::fromJson(in.readAll()).object().value(QStringLiteral("files")).toArray()) {
        const QJsonObject file = entry.toObject();
        const QString kind = file.value(QStringLiteral("kind")).toString();
        if ((kind == QStringLiteral("jpg") || kind == QStringLiteral("png")) && file.value(QStringLiteral("intact")).toBool())
            names << QStringLiteral("f%1.%2").arg(qint64(file.value(QStringLiteral("offset")).toDouble()) / 512, 7, 10,
                                                  QLatin1Char('0')).arg(kind);
    }
    return names;
}

// The bytes of one whole PNG of the card.
QByteArray WholePngOfTheCard() {
    QFile manifest(kCard + QStringLiteral(".manifest.json"));
    QFile card(kCard);
    if (!manifest.open(QIODevice::ReadOnly) || !card.open(QIODevice::ReadOnly))
        return {};
    for (const QJsonValue& entry : QJsonDocument::fromJson(manifest.readAll()).object().value(QStringLiteral("files")).toArray()) {
        const QJsonObject file = entry.toObject();
        if (file.value(QStringLiteral("kind")).toString() == QStringLiteral("png") && file.value(QStringLiteral("intact")).toBool() &&
            card.seek(qint64(file.value(QStringLiteral("offset")).toDouble())))
            return card.read(qint64(file.value(QStringLiteral("size")).toDouble()));
    }
    return {};
}

// The first item named `text` at or below `item`.
QTreeWidgetItem* Below(QTreeWidgetItem* item, const QString& text) {
    if (item->text(0) == text)
        return item;
    for (int i = 0; i < item->childCount(); ++i)
        if (QTreeWidgetItem* found = Below(item->child(i), text))
            return found;
    return nullptr;
}

// The next control Tab reaches from `from`.
QWidget* NextTabStop(QWidget* from) {
    QWidget* next = from->nextInFocusChain();
    while (next != from && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

// Adds the card and answers question 6 with YES: the search of the whole card
// finds no volume, and question 8 follows.
bool OfferedTheDeepScan(MainHarness& main) {
    auto& w = *main.window;
    if (!main.WaitForDriveList())
        return false;
    w.AddVolumeImages({kCard});
    if (!WaitFor([&w] { return w.QuestionBox()->isVisible(); }, 30000) ||
        w.QuestionBox()->Kind() != gui::Question::SearchWholeImage)
        return false;
    QTest::mouseClick(w.QuestionBox()->DefaultButton(), Qt::LeftButton);
    return WaitFor([&w] { return w.QuestionBox()->isVisible() && w.QuestionBox()->Kind() == gui::Question::DeepScanWholeImage; },
                   60000);
}

} // namespace

class DeepScanWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() {
        PrepareEnvironment(dir_);
        if (!QFileInfo::exists(kCard))
            QSKIP("the content card is missing: run the content_images fixture");
    }

    void init() { QFile::remove(MainIniPath()); }

    void ACardWithNoVolumeIsOfferedTheDeepScanWhenTheWholeSearchFindsNone() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(OfferedTheDeepScan(main));
        QVERIFY(w.Dimmed());
        QVERIFY(!w.NoticeBox()->isVisible());
        QCOMPARE(w.QuestionBox()->Text(),
                 QStringLiteral("No volume was found on content-fat32-raw.img. Search the whole image by file content? "
                                "Files found that way have no names or folders of their own."));
        QCOMPARE(w.QuestionBox()->DefaultButton()->text(), QStringLiteral("Deep scan"));
        QCOMPARE(w.QuestionBox()->OtherButton()->text(), QStringLiteral("Close"));
        // Close leaves the window as it was: nothing listed, nothing scanned.
        QTest::mouseClick(w.QuestionBox()->OtherButton(), Qt::LeftButton);
        Settle();
        QVERIFY(!w.Dimmed());
        QVERIFY(!w.QuestionBox()->isVisible());
        QVERIFY(!EntryOf(*w.StartPage()->Chooser()->List(), kCard));
        QVERIFY(!w.Scan().Running());
        QVERIFY(!main.log->Has(gui::Msg::StartRequest));
    }

    void TheDeepScanFindsThePicturesUnderFoundByContentAndPreviewsOne() {
        const QStringList pictures = WholePicturesOfTheCard();
        QVERIFY(pictures.size() >= 4);
        MainHarness main({Corpus("ntfs-basic.img")});
        auto& w = *main.window;
        QVERIFY(OfferedTheDeepScan(main));
        QTest::mouseClick(w.QuestionBox()->DefaultButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&w] { return w.ResultPage()->isVisible(); }, 120000));
        // Only the card was scanned: the volume checked before was left out.
        QListWidgetItem* card = EntryOf(*w.StartPage()->Chooser()->List(), kCard);
        QVERIFY(card);
        QCOMPARE(card->checkState(), Qt::Checked);
        QVERIFY(card->data(gui::kDetailRole).toString().startsWith(QStringLiteral("Searched by content · ")));
        QCOMPARE(EntryOf(*w.StartPage()->Chooser()->List(), Corpus("ntfs-basic.img"))->checkState(), Qt::Unchecked);

        gui::TFrm_Result& page = *w.ResultPage();
        QTest::mouseClick(page.LocationTab(), Qt::LeftButton);
        gui::FolderTree& tree = *page.Folders();
        QTreeWidgetItem* all = tree.topLevelItem(0);
        QVERIFY(all);
        QCOMPARE(all->childCount(), 1);
        QTreeWidgetItem* drive = all->child(0);
        QCOMPARE(gui::FolderTree::DiskOf(*drive)->FileSystem(), uint8_t(kFileSystemContent));
        QCOMPARE(ChildTexts(*drive), QStringList{QStringLiteral("Found by content")});
        QTreeWidgetItem* found = drive->child(0);
        QCOMPARE(RdCheckTree::CountOf(*found), RdCheckTree::CountOf(*all));
        found->setExpanded(true);
        const QStringList kinds = ChildTexts(*found);
        QVERIFY2(kinds.contains(QStringLiteral("jpg")) && kinds.contains(QStringLiteral("png")), qPrintable(kinds.join(',')));

        // The jpg folder lists the card's JPEG files, named by where they lie.
        QTreeWidgetItem* jpg = Node(tree, QStringLiteral("jpg"));
        tree.scrollToItem(jpg);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(jpg).center());
        Settle();
        QStringList listed;
        for (const TMyFile* f : page.View().ShownFiles)
            listed << QString::fromStdString(f->FileName);
        for (const QString& picture : pictures)
            if (picture.endsWith(QStringLiteral(".jpg")))
                QVERIFY2(listed.contains(picture), qPrintable(picture + QStringLiteral(" not in ") + listed.join(',')));
        QCOMPARE(qint64(listed.size()), RdCheckTree::CountOf(*jpg));

        // A whole one previews as a picture.
        const int row = int(listed.indexOf(pictures.filter(QStringLiteral(".jpg")).first()));
        page.List()->scrollTo(page.ListModel()->index(row, 0), QAbstractItemView::PositionAtTop);
        Settle();
        QTest::mouseClick(page.List()->viewport(), Qt::LeftButton, {}, page.List()->PreviewButton(row).center());
        Settle();
        gui::TFrm_Preview& large = *w.PicturePreview();
        QVERIFY(large.isVisible());
        QVERIFY(WaitFor([&large] { return large.Finished(); }, 10000));
        QVERIFY(large.Picture()->isVisible());
        QVERIFY(large.Picture()->HasPicture());
    }

    void TheProgressTellsTheBytesSearchedAndStopEndsTheDeepScan() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(OfferedTheDeepScan(main));
        // Every read past the first 8 MiB is held up, as on a slow drive.
        const uint64_t size = uint64_t(QFileInfo(kCard).size());
        platform::SetReadFaults(kCard.toStdString(), {{}, {{8u << 20, size, 200}}});
        QTest::mouseClick(w.QuestionBox()->DefaultButton(), Qt::LeftButton);
        TUnDeleteProgress& progress = w.Progress();
        QVERIFY(WaitFor([&] { return w.Scan().Running() && progress.FBytesSearched > 0; }, 30000));
        QVERIFY(WaitFor([&] {
            return w.StartPage()->ProgressLabel()->text().contains(QStringLiteral(" searched, "));
        }, 10000));
        QVERIFY2(w.StartPage()->ProgressLabel()->text().endsWith(QStringLiteral(" files found")),
                 qPrintable(w.StartPage()->ProgressLabel()->text()));
        QTest::mouseClick(w.StartPage()->ScanButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&w] { return !w.Scan().Running(); }, 30000));
        platform::SetReadFaults(kCard.toStdString(), {});
        QVERIFY(uint64_t(progress.FBytesSearched) < size);
        QVERIFY(!w.NoticeBox()->isVisible());
    }

    void TheDeepScanBoxIsOffAtFirstRememberedAndReachedByTab() {
        {
            MainHarness main;
            gui::TFrm_Choose& page = *main.window->StartPage();
            RdCheckBox* box = page.DeepScanBox();
            QCOMPARE(box->objectName(), QStringLiteral("CheckBox_DeepScan"));
            QVERIFY(!box->isChecked());
            QCOMPARE(box->accessibleName(), QStringLiteral("Deep scan: also search free space by file content, slower"));
            QVERIFY(!box->accessibleDescription().isEmpty());
            QCOMPARE(NextTabStop(page.TypeToggle(gui::kOtherTypes)), static_cast<QWidget*>(box));
            QCOMPARE(NextTabStop(box), static_cast<QWidget*>(page.Chooser()->CheckAllBox()));
            main.window->show();
            QVERIFY(QTest::qWaitForWindowActive(main.window.get()));
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Space);
            QVERIFY(box->isChecked());
        }
        QVERIFY(MainIniHolds(QStringLiteral("DeepScan=1")));
        MainHarness again;
        QVERIFY(again.window->StartPage()->DeepScanBox()->isChecked());
    }

    // With the box checked a FAT volume's free clusters are searched too: the
    // folder deleted as a tree shows its lost part under "Found by content".
    void TheCheckedBoxFindsTheLostFoldersOfAListedVolume() {
        const QString image = QStringLiteral(DUNRO_LOST_FOLDER_IMAGES_DIR "/fat32-lost-folder.img");
        if (!QFileInfo::exists(image))
            QSKIP("the lost-folder image is missing: run the lost_folder_images fixture");
        for (const bool deep : {false, true}) {
            MainHarness main({image});
            auto& w = *main.window;
            QVERIFY(main.WaitForDriveList());
            w.StartPage()->DeepScanBox()->setChecked(deep);
            ChooseOnly(*w.StartPage(), {image});
            QTest::mouseClick(w.StartPage()->ScanButton(), Qt::LeftButton);
            QVERIFY(WaitFor([&w] { return w.ResultPage()->isVisible(); }, 60000));
            gui::FolderTree& tree = *w.ResultPage()->Folders();
            QTreeWidgetItem* drive = tree.topLevelItem(0)->child(0);
            QCOMPARE(gui::FolderTree::DiskOf(*drive)->FileSystem(), uint8_t(kFileSystemFat32));
            QTreeWidgetItem* found = Node(tree, QStringLiteral("Found by content"));
            QCOMPARE(found != nullptr, deep);
            if (!deep)
                continue;
            found->setExpanded(true);
            const QStringList lost = ChildTexts(*found);
            QVERIFY(!lost.isEmpty());
            for (const QString& folder : lost)
                QVERIFY2(folder.startsWith(QStringLiteral("Lost folder ")), qPrintable(folder));
        }
    }

    // A partition of a disk image scanned with the box checked: the space
    // after the last partition, which no table names, is searched too, and
    // the picture laid there is found whole. Without the box it is not read.
    void ADeepScanOfAPartitionOfADiskImageAlsoSearchesTheSpaceNoPartitionHolds() {
        const QByteArray picture = WholePngOfTheCard();
        QVERIFY(!picture.isEmpty());
        QTemporaryDir work;
        const QString disk = work.filePath(QStringLiteral("disk.img"));
        QVERIFY(QFile::copy(QStringLiteral(DUNRO_DISKS_DIR "/mbr-disk.img"), disk));
        {
            QFile grown(disk);
            QVERIFY(grown.setPermissions(grown.permissions() | QFileDevice::WriteOwner));
            QVERIFY(grown.open(QIODevice::ReadWrite));
            const qint64 end = grown.size();
            QVERIFY(grown.resize(end + (4 << 20)));
            QVERIFY(grown.seek(end + (1 << 20)));
            QCOMPARE(grown.write(picture), qint64(picture.size()));
        }
        for (const bool deep : {false, true}) {
            MainHarness main({disk});
            auto& w = *main.window;
            QVERIFY(main.WaitForDriveList());
            w.StartPage()->DeepScanBox()->setChecked(deep);
            ChooseOnly(*w.StartPage(), {disk + QStringLiteral("#5")});
            QTest::mouseClick(w.StartPage()->ScanButton(), Qt::LeftButton);
            QVERIFY(WaitFor([&w] { return w.ResultPage()->isVisible(); }, 120000));
            gui::TFrm_Result& page = *w.ResultPage();
            QTest::mouseClick(page.LocationTab(), Qt::LeftButton);
            gui::FolderTree& tree = *page.Folders();
            QTreeWidgetItem* all = tree.topLevelItem(0);
            QCOMPARE(all->childCount(), deep ? 2 : 1);
            if (!deep)
                continue;
            QTreeWidgetItem* gap = all->child(1);
            QCOMPARE(gui::FolderTree::DiskOf(*gap)->FileSystem(), uint8_t(kFileSystemContent));
            QVERIFY2(gap->text(0).contains(QStringLiteral("Unpartitioned space")), qPrintable(gap->text(0)));
            QTreeWidgetItem* png = Below(gap, QStringLiteral("png"));
            QVERIFY(png);
            tree.scrollToItem(png);
            QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(png).center());
            Settle();
            QCOMPARE(page.View().ShownFiles.size(), size_t(1));
            const TMyFile& found = *page.View().ShownFiles.front();
            QCOMPARE(found.FileSize, int64_t(picture.size()));
            QCOMPARE(found.State, uint8_t(kStateExcellent));
        }
    }
};

QTEST_MAIN(DeepScanWindowTest)
#include "deep_scan_window_test.moc"
