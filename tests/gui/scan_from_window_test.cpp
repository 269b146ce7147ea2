// A scan from the window, as a user runs it on real volumes: choose types
// and places, press SCAN, watch the ring, stop, close, scan again. The
// counts, and the rows the result page ends on, are those the command line
// reports for the same images and types.
#include <QFile>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <system_error>

#include "gui/app/prompt_box.h"
#include "gui/app/scan_controller.h"
#include "gui/results/result_list.h"
#include "gui/results/result_page.h"
#include "gui/results/result_trees.h"
#include "gui/start/location_list.h"
#include "gui/start/scan_dial.h"
#include "gui/start/start_page.h"
#include "gui/start/type_tile.h"
#include "gui/widgets/check_box.h"
#include "gui/widgets/check_tree.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin_label.h"
#include "gui/widgets/title_bar.h"
#include "gui_test_support.h"
#include "results/result_view.h"
#include "scan/progress.h"
#include "scan/scan_worker.h"
#include "scan_test_support.h"

using namespace gui_test;

namespace {

// So many names for one volume make a scan that lasts long enough to be
// stopped or closed while it reads.
constexpr int kManyDrives = 160;

QStringList ManyNamesFor(const QTemporaryDir& dir, const QString& image) {
    QStringList names;
    for (int i = 0; i < kManyDrives; ++i) {
        const QString name = dir.path() + QStringLiteral("/volume-%1.img").arg(i, 3, 10, QLatin1Char('0'));
#ifdef Q_OS_WIN
        // A link there is a shortcut file, not the volume: a hard link is.
        std::error_code error;
        std::filesystem::create_hard_link(image.toStdWString(), name.toStdWString(), error);
#else
        QFile::link(image, name);
#endif
        names << name;
    }
    return names;
}

// Presses SCAN and waits until the worker reads its second drive.
bool StartAndWaitForReading(MainHarness& main) {
    QTest::mouseClick(main.window->StartPage()->ScanButton(), Qt::LeftButton);
    return WaitFor([&main] { return main.window->Progress().FDiskOrdinal >= 2; });
}

// Between scans: the SCAN caption, the switches and the chooser open to
// choices (once the window is not dimmed), no progress shown.
bool PageIsIdle(gui::TFrm_Choose& page) {
    const bool chooserOpen = !page.Chooser()->DriveListReady() || page.Chooser()->List()->isEnabledTo(&page);
    return page.ScanButton()->text() == QStringLiteral("Scan") && page.TypeToggle(0)->isEnabledTo(&page) &&
           page.MasterToggle()->isEnabledTo(&page) && chooserOpen && !page.PercentLabel()->isVisible() &&
           !page.Dial()->Running();
}

} // namespace

class ScanFromWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }

    void AScanOfOneImageEndsOnAPageWithTheCountOfTheCommandLineAndRunsAgain() {
        const QString ntfs = Corpus("ntfs-basic.img"), fat = Corpus("fat32-basic.img");
        QVERIFY(QFile::exists(ntfs) && QFile::exists(fat));
        const int expected = CommandLineCount({fat}, QStringLiteral("photos,documents"));
        QVERIFY(expected > 0);
        MainHarness main({ntfs, fat});
        auto& w = *main.window;
        gui::TFrm_Choose& page = *w.StartPage();
        QVERIFY(main.WaitForDriveList());
        ChooseOnly(page, {fat});
        ChooseTypes(page, {gui::kPhotos, gui::kDocuments});
        QList<int> ring;
        connect(page.Dial(), &QProgressBar::valueChanged, this, [&ring](int value) { ring << value; });

        for (int round = 0; round < 2; ++round) {
            ring.clear();
            QTest::mouseClick(page.ScanButton(), Qt::LeftButton);
            Settle();
            QVERIFY(w.ScanTimerActive());
            QCOMPARE(page.ScanButton()->text(), QStringLiteral("STOP"));
            QVERIFY(!page.TypeToggle(gui::kPhotos)->isEnabled());
            QVERIFY(WaitFor([&w] { return w.ResultPage()->isVisible(); }));
            QVERIFY(!w.ScanTimerActive());
            QCOMPARE(HeaderCount(w.ResultPage()->HeaderLabel()->text()), expected);
            QCOMPARE(int(w.Progress().FResultCount), expected);
            QVERIFY(w.Progress().FScanIdle);
            QVERIFY(w.Progress().FCloseAllowed);
            // The ring climbed through the listing on its way to the end.
            QVERIFY(!ring.isEmpty());
            QVERIFY(*std::max_element(ring.begin(), ring.end()) >= 90);
            QVERIFY(std::count_if(ring.begin(), ring.end(), [](int v) { return v > 40 && v < 99; }) >= 5);
            QVERIFY(!w.NoticeBox()->isVisible());
            // Back (its arrow leaves without asking) on the start page, it is
            // ready for the next scan.
            QTest::mouseClick(w.ResultPage()->BackButton(), Qt::LeftButton, {},
                              w.ResultPage()->BackArrowRect().center());
            Settle();
            QVERIFY(page.isVisible());
            QVERIFY(PageIsIdle(page));
        }
    }

    void AScanFromTheWindowEndsOnTheResultPageWithTheRowsOfTheCommandLine() {
        const QString ntfs = Corpus("ntfs-basic.img"), fat = Corpus("fat32-basic.img");
        const QString types = QStringLiteral("photos,documents,others");
        // The page first lists the best recoverability first, files of one
        // grade in the order the drive listed them: the command line's
        // descending sort by state, which keeps equal grades in list order.
        const QStringList expected = CommandLineRows({ntfs}, types, {QStringLiteral("--sort"), QStringLiteral("state"),
                                                                     QStringLiteral("--desc")});
        QVERIFY(!expected.isEmpty());
        MainHarness main({ntfs, fat});
        auto& w = *main.window;
        gui::TFrm_Choose& start = *w.StartPage();
        QVERIFY(main.WaitForDriveList());
        ChooseOnly(start, {ntfs});
        ChooseTypes(start, {gui::kPhotos, gui::kDocuments, gui::kOtherTypes});
        QTest::mouseClick(start.ScanButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&w] { return w.ResultPage()->isVisible(); }));
        QVERIFY(!start.isVisible());

        gui::TFrm_Result& page = *w.ResultPage();
        const QAbstractItemModel& model = *page.List()->model();
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row) {
            QStringList cells;
            for (int column : {results::kColumnName, results::kColumnPath, results::kColumnState, results::kColumnSize,
                               results::kColumnDate})
                cells << model.index(row, column).data().toString();
            shown << cells.join(QStringLiteral(" | "));
        }
        QCOMPARE(shown, expected);
        QCOMPARE(HeaderCount(page.HeaderLabel()->text()), int(expected.size()));
        QCOMPARE(RdCheckTree::CountOf(*page.Types()->topLevelItem(0)), qint64(expected.size()));
        QCOMPARE(RdCheckTree::CountOf(*page.Folders()->topLevelItem(0)), qint64(expected.size()));
    }

    void AStopWhileReadingReturnsToTheStartPageWithoutANotice() {
        QTemporaryDir links;
        const QStringList names = ManyNamesFor(links, Corpus("ntfs-basic.img"));
        MainHarness main(names);
        auto& w = *main.window;
        QVERIFY(main.WaitForDriveList());
        QVERIFY(StartAndWaitForReading(main));
        QVERIFY(w.Progress().FDiskOrdinal < kManyDrives);
        main.log->Clear();
        QTest::mouseClick(w.StartPage()->ScanButton(), Qt::LeftButton);  // STOP
        Settle();
        QVERIFY(main.log->Has(gui::Msg::StopRequest));
        QVERIFY(WaitFor([&w] { return !w.ScanTimerActive(); }));
        Settle();
        QVERIFY(w.Progress().FDiskOrdinal < kManyDrives);
        QCOMPARE(uint32_t(w.Progress().FResultCount), 0u);
        QVERIFY(w.StartPage()->isVisible());
        QVERIFY(!w.ResultPage()->isVisible());
        QVERIFY(!w.NoticeBox()->isVisible());
        QVERIFY(!w.Dimmed());
        QVERIFY(PageIsIdle(*w.StartPage()));
        // The worker's own report of the stopped pass changes nothing more.
        QVERIFY(WaitFor([&main] { return main.log->Has(gui::Msg::ScanStopped); }));
        Settle();
        QVERIFY(!w.NoticeBox()->isVisible());
        QVERIFY(w.StartPage()->isVisible());
    }

    void CloseDuringAScanPausesItAndNoResumesItToTheSameCount() {
        const QString image = Corpus("ntfs-basic.img");
        const int single = CommandLineCount({image});
        QVERIFY(single > 0);
        QTemporaryDir links;
        MainHarness main(ManyNamesFor(links, image));
        auto& w = *main.window;
        QVERIFY(main.WaitForDriveList());
        QVERIFY(StartAndWaitForReading(main));
        QTest::mouseClick(w.StartPage()->TitleBar()->CloseButton(), Qt::LeftButton);
        Settle();
        QVERIFY(w.QuestionBox()->isVisible());
        QCOMPARE(w.QuestionBox()->Kind(), gui::Question::ExitDuringScan);
        QVERIFY(w.ScanHeldForQuestion());
        QVERIFY(w.Progress().ScanPaused());
        // Held: nothing is read while the question waits.
        QTest::qWait(100);
        const uint32_t read = w.Progress().FRecordsRead;
        const uint8_t disk = w.Progress().FDiskOrdinal;
        QTest::qWait(400);
        QCOMPARE(uint32_t(w.Progress().FRecordsRead), read);
        QCOMPARE(uint8_t(w.Progress().FDiskOrdinal), disk);
        QVERIFY(w.ScanWorker().Busy());
        QVERIFY(w.ScanTimerActive());
        // NO: the scan goes on and ends with everything it would have found.
        QTest::mouseClick(w.QuestionBox()->OtherButton(), Qt::LeftButton);
        Settle();
        QVERIFY(!w.Progress().ScanPaused());
        QVERIFY(!w.QuestionBox()->isVisible());
        QVERIFY(!w.Dimmed());
        QVERIFY(WaitFor([&w] { return w.ResultPage()->isVisible(); }, 120000));
        QCOMPARE(HeaderCount(w.ResultPage()->HeaderLabel()->text()), single * kManyDrives);
        QCOMPARE(main.processEnds, 0);
    }

    void CloseDuringAScanAndYesEndsTheProgram() {
        QTemporaryDir links;
        MainHarness main(ManyNamesFor(links, Corpus("ntfs-basic.img")));
        auto& w = *main.window;
        QVERIFY(main.WaitForDriveList());
        QVERIFY(StartAndWaitForReading(main));
        w.Hub().Post(gui::Msg::CloseRequest);
        Settle();
        QVERIFY(w.Progress().ScanPaused());
        QTest::mouseClick(w.QuestionBox()->DefaultButton(), Qt::LeftButton);
        Settle();
        QCOMPARE(main.processEnds, 1);
    }

    void NoTypeChosenShowsNotice1AndStartsNothing() {
        MainHarness main({Corpus("ntfs-basic.img")});
        auto& w = *main.window;
        QVERIFY(main.WaitForDriveList());
        ChooseTypes(*w.StartPage(), {});
        QTest::mouseClick(w.StartPage()->ScanButton(), Qt::LeftButton);
        Settle();
        QVERIFY(w.NoticeBox()->isVisible());
        QCOMPARE(w.NoticeBox()->Kind(), gui::Notice::NoTypeChosen);
        QVERIFY(w.Dimmed());
        QVERIFY(!w.ScanTimerActive());
        QVERIFY(w.Progress().FScanIdle);
        QVERIFY(w.Progress().FScanFinished);
        QVERIFY(PageIsIdle(*w.StartPage()));
        QTest::mouseClick(w.NoticeBox()->DefaultButton(), Qt::LeftButton);
        Settle();
        QVERIFY(!w.Dimmed());
    }

    void NoPlaceChosenShowsNotice2AndStartsNothing() {
        MainHarness main({Corpus("ntfs-basic.img")});
        auto& w = *main.window;
        QVERIFY(main.WaitForDriveList());
        ChooseOnly(*w.StartPage(), {});
        QTest::mouseClick(w.StartPage()->ScanButton(), Qt::LeftButton);
        Settle();
        QVERIFY(w.NoticeBox()->isVisible());
        QCOMPARE(w.NoticeBox()->Kind(), gui::Notice::NoPlaceChosen);
        QVERIFY(!w.ScanTimerActive());
        QVERIFY(w.Progress().FScanFinished);
        QVERIFY(PageIsIdle(*w.StartPage()));
    }

    void AScanThatFindsNothingShowsNotice3() {
        // No corpus volume has a recycle bin: nothing is kept.
        const QString fat = Corpus("fat32-basic.img");
        MainHarness main({fat});
        auto& w = *main.window;
        QVERIFY(main.WaitForDriveList());
        ChooseOnly(*w.StartPage(), {QStringLiteral("Recycle Bin")});
        QTest::mouseClick(w.StartPage()->ScanButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&w] { return w.NoticeBox()->isVisible(); }));
        QCOMPARE(w.NoticeBox()->Kind(), gui::Notice::NothingFound);
        QVERIFY(!w.ScanTimerActive());
        QVERIFY(w.StartPage()->isVisible());
        QVERIFY(PageIsIdle(*w.StartPage()));
    }

    void PressingScanAgainWhileTheDrivesAreExaminedCancelsTheStart() {
        MainHarness main({Corpus("ntfs-basic.img")});
        auto& w = *main.window;
        gui::TFrm_Choose& page = *w.StartPage();
        QVERIFY(!page.Chooser()->DriveListReady());
        QTest::mouseClick(page.ScanButton(), Qt::LeftButton);
        Settle();
        QVERIFY(w.WaitingForDriveList());
        QVERIFY(WaitFor([&page] { return page.ProgressLabel()->text().startsWith(QStringLiteral("Initializing.")); }, 2000));
        QVERIFY(page.Dial()->value() >= 1);
        QTest::mouseClick(page.ScanButton(), Qt::LeftButton);
        QVERIFY(WaitFor([&w] { return !w.WaitingForDriveList(); }, 2000));
        QVERIFY(PageIsIdle(page));
        QVERIFY(!w.ScanTimerActive());
        QVERIFY(w.Progress().FScanFinished);  // the worker was never asked
        QVERIFY(w.Progress().FCloseAllowed);
        // The list fills later, and still no scan begins.
        QVERIFY(main.WaitForDriveList());
        Settle();
        QVERIFY(!w.ScanTimerActive());
        QVERIFY(!w.ResultPage()->isVisible());
    }

    void ScanPressedWhileTheDrivesAreExaminedBeginsOnceTheyAreKnown() {
        const QString fat = Corpus("fat32-basic.img");
        const int expected = CommandLineCount({fat});
        MainHarness main({fat});
        auto& w = *main.window;
        QVERIFY(!w.StartPage()->Chooser()->DriveListReady());
        QTest::mouseClick(w.StartPage()->ScanButton(), Qt::LeftButton);
        Settle();
        QVERIFY(w.WaitingForDriveList());
        QVERIFY(WaitFor([&w] { return w.ResultPage()->isVisible(); }));
        QVERIFY(w.Progress().FPercentFloor >= 1);
        QCOMPARE(HeaderCount(w.ResultPage()->HeaderLabel()->text()), expected);
    }

    void AScanThatEndsWhileTheWindowIsMinimizedBringsItBack() {
        MainHarness main({Corpus("fat32-basic.img")});
        auto& w = *main.window;
        QVERIFY(main.WaitForDriveList());
        QTest::mouseClick(w.StartPage()->ScanButton(), Qt::LeftButton);
        Settle();
        w.showMinimized();
        Settle();
        QVERIFY(w.isMinimized());
        QVERIFY(WaitFor([&w] { return w.ResultPage()->isVisible(); }));
        QVERIFY(!w.isMinimized());
        QCOMPARE(w.size(), QSize(960, 660));
    }

    // A second start restores the window; the wait for the drive list and
    // the scanning timer must still run their tick once each, or the tick
    // that finds the list ready reads its own cleared request as a second
    // press: the page resets and a close ends the scan without question 3.
    void AfterSecondStartsScanBeforeTheDriveListRunsAndCloseStillAsksQuestion3() {
        QTemporaryDir links;
        MainHarness main(ManyNamesFor(links, Corpus("ntfs-basic.img")));
        auto& w = *main.window;
        gui::TFrm_Choose& page = *w.StartPage();
        w.RestoreFromSecondStart();
        w.RestoreFromSecondStart();
        int ticks = 0;
        QObject::connect(&w.Scan().ScanningTimer(), &QTimer::timeout, &w, [&ticks] { ++ticks; });
        QObject::connect(&w.Scan().DriveListWait(), &QTimer::timeout, &w, [&ticks] { ++ticks; });
        const int handledBefore = w.Scan().TicksHandled();
        QVERIFY(!page.Chooser()->DriveListReady());
        QTest::mouseClick(page.ScanButton(), Qt::LeftButton);
        Settle();
        QVERIFY(w.WaitingForDriveList());
        QVERIFY(WaitFor([&main] { return main.window->Progress().FDiskOrdinal >= 2; }));
        QVERIFY(ticks > 2);
        QCOMPARE(w.Scan().TicksHandled() - handledBefore, ticks);
        QVERIFY(w.ScanTimerActive());
        QVERIFY(!w.Progress().FCloseAllowed);
        QVERIFY(!PageIsIdle(page));
        w.Hub().Post(gui::Msg::CloseRequest);
        Settle();
        QVERIFY(w.QuestionBox()->isVisible());
        QCOMPARE(w.QuestionBox()->Kind(), gui::Question::ExitDuringScan);
        QCOMPARE(main.processEnds, 0);
        QTest::mouseClick(w.QuestionBox()->OtherButton(), Qt::LeftButton);
        Settle();
        w.Hub().Post(gui::Msg::StopRequest);
        QVERIFY(WaitFor([&w] { return !w.ScanTimerActive(); }, 60000));
    }

    void TheStoppedPassMessageAfterTheEndDoesNotEndTheNextScan() {
        MainHarness main({Corpus("fat32-basic.img")});
        auto& w = *main.window;
        QVERIFY(main.WaitForDriveList());
        QTest::mouseClick(w.StartPage()->ScanButton(), Qt::LeftButton);
        Settle();
        QVERIFY(w.ScanTimerActive());
        // A late report of an earlier stopped pass arrives during this scan.
        w.Hub().Post(gui::Msg::ScanStopped);
        Settle();
        QVERIFY(w.ScanTimerActive());
        QVERIFY(!w.ResultPage()->isVisible());
        QVERIFY(WaitFor([&w] { return w.ResultPage()->isVisible(); }));
        QVERIFY(int(w.Progress().FResultCount) > 0);
    }
};

QTEST_MAIN(ScanFromWindowTest)
#include "scan_from_window_test.moc"
