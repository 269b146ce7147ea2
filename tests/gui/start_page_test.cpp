// The start page's own behaviour: the type switches and their master, the
// copy into the scan's type selection, the progress texts, the SCAN/STOP
// button with its animators, and the scan hint that shows once.
#include <QTest>

#include "gui/start/scan_dial.h"
#include "gui/start/start_page.h"
#include "gui/start/type_tile.h"
#include "gui/widgets/check_box.h"
#include "gui/widgets/hint_balloon.h"
#include "gui/widgets/skin_label.h"
#include "gui_test_support.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "shell/ini_file.h"

using namespace gui_test;

class StartPageTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() {
        PrepareEnvironment(dir_);
        WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("ScanTips=1")});
    }

    void SixSwitchesInTheirOrderAllOnWithTheMasterOn() {
        MainHarness main;
        gui::TFrm_Choose& page = *main.window->StartPage();
        const QStringList names{QStringLiteral("Photos"),    QStringLiteral("Music"),    QStringLiteral("Videos"),
                                QStringLiteral("Documents"), QStringLiteral("Archives"), QStringLiteral("Others")};
        for (int i = 0; i < gui::kTypeSwitchCount; ++i) {
            QCOMPARE(page.TypeToggle(i)->text(), names[i]);
            QVERIFY(page.TypeToggle(i)->isChecked());
        }
        QCOMPARE(page.MasterToggle()->text(), QStringLiteral("File Types"));
        QVERIFY(page.MasterToggle()->isChecked());
    }

    void ASwitchFlipsAndTheMasterIsOnExactlyWhenAllSixAre() {
        MainHarness main;
        gui::TFrm_Choose& page = *main.window->StartPage();
        QTest::mouseClick(page.TypeToggle(gui::kVideos), Qt::LeftButton);
        QVERIFY(!page.TypeToggle(gui::kVideos)->isChecked());
        QCOMPARE(int(page.Selections()[gui::kVideos]), 0);
        QVERIFY(!page.MasterToggle()->isChecked());
        page.TypeToggle(gui::kVideos)->setFocus();
        QTest::keyClick(page.TypeToggle(gui::kVideos), Qt::Key_Space);
        QVERIFY(page.TypeToggle(gui::kVideos)->isChecked());
        QVERIFY(page.MasterToggle()->isChecked());
    }

    void TheMasterSetsAllSix() {
        MainHarness main;
        gui::TFrm_Choose& page = *main.window->StartPage();
        QTest::mouseClick(page.MasterToggle(), Qt::LeftButton);
        for (int i = 0; i < gui::kTypeSwitchCount; ++i) {
            QVERIFY(!page.TypeToggle(i)->isChecked());
            QCOMPARE(int(page.Selections()[static_cast<size_t>(i)]), 0);
        }
        QTest::mouseClick(page.MasterToggle(), Qt::LeftButton);
        for (int i = 0; i < gui::kTypeSwitchCount; ++i)
            QVERIFY(page.TypeToggle(i)->isChecked());
    }

    void TheSwitchesAreCopiedOneToOneIntoTheTypeSelection() {
        MainHarness main;
        gui::TFrm_Choose& page = *main.window->StartPage();
        TScanFileType& types = main.window->TypeSelection();
        // Music and archives only: each switch lands on its own flag.
        QTest::mouseClick(page.MasterToggle(), Qt::LeftButton);
        QTest::mouseClick(page.TypeToggle(gui::kMusic), Qt::LeftButton);
        QTest::mouseClick(page.TypeToggle(gui::kArchives), Qt::LeftButton);
        page.CopyTypeSelections();
        QVERIFY(!types.FPicturesOn);
        QVERIFY(types.FAudioOn);
        QVERIFY(!types.FVideosOn);
        QVERIFY(!types.FDocumentsOn);
        QVERIFY(types.FArchivesOn);
        QVERIFY(!types.FOthersOn);
        QVERIFY(!types.FAllOn);
        QTest::mouseClick(page.MasterToggle(), Qt::LeftButton);
        page.CopyTypeSelections();
        QVERIFY(types.FAllOn);
    }

    void ScanProgressNamesTheRecordsReadThenTheFilesAnalysed() {
        MainHarness main;
        gui::TFrm_Choose& page = *main.window->StartPage();
        TUnDeleteProgress& progress = main.window->Progress();
        progress.FRecordsRead = 1234;
        progress.FListedCount = 567;
        page.PrepareForScanning(true);
        QVERIFY(page.ProgressLabel()->isVisible());
        QVERIFY(page.PercentLabel()->isVisible());
        QVERIFY(!page.TypeToggle(0)->isEnabled());
        QVERIFY(!page.MasterToggle()->isEnabled());
        page.ShowScanProgress(12);
        QCOMPARE(page.ProgressLabel()->MarkedText(), QStringLiteral("Files scanned: <a>1234</a>"));
        QCOMPARE(page.PercentLabel()->text(), QStringLiteral("12 %"));
        QCOMPARE(page.Dial()->value(), 12);
        page.ShowScanProgress(40);
        QCOMPARE(page.ProgressLabel()->MarkedText(), QStringLiteral("Analyzing deleted files: <a>567</a>"));
        QCOMPARE(page.Dial()->value(), 40);
        page.ShowScanProgress(101);
        QCOMPARE(page.Dial()->value(), 100);
        QCOMPARE(page.PercentLabel()->text(), QStringLiteral("40 %"));  // only the ring
        page.Reset();
        QCOMPARE(page.Dial()->value(), 0);
        QVERIFY(!page.ProgressLabel()->isVisible());
        QVERIFY(page.TypeToggle(0)->isEnabled());
        progress.FRecordsRead = 0;
        progress.FListedCount = 0;
    }

    void TheButtonShowsStopAndItsAnimatorsRunWhileAScanIsPrepared() {
        MainHarness main;
        gui::TFrm_Choose& page = *main.window->StartPage();
        QCOMPARE(page.ScanButton()->text(), QStringLiteral("Scan"));
        QVERIFY(!page.Dial()->Running());
        page.PrepareForScanning(true);
        QCOMPARE(page.ScanButton()->text(), QStringLiteral("STOP"));
        QVERIFY(page.Dial()->Running());
        page.ScanEnded();
        QCOMPARE(page.ScanButton()->text(), QStringLiteral("Scan"));
        QVERIFY(!page.Dial()->Running());
    }

    void TheHoverGlowFollowsThePointer() {
        MainHarness main;
        gui::TScanDial& dial = *main.window->StartPage()->Dial();
        QCOMPARE(dial.HoverGlow(), 0);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(dial.Button(), &enter);
        QCOMPARE(dial.HoverGlow(), gui::TScanDial::kHoverGlow);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(dial.Button(), &leave);
        QCOMPARE(dial.HoverGlow(), 0);
    }

    void TheScanHintShowsOnceAfterTheFirstShowAndIsRemembered() {
        WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("ScanTips=0")});
        {
            MainHarness main;
            RdHintBalloon& hint = *main.window->StartPage()->ScanHint();
            QVERIFY(!hint.isVisible());
            QVERIFY(WaitFor([&hint] { return hint.isVisible(); }, 3000));
            QCOMPARE(hint.Text(), QStringLiteral("Click scan to find the recoverable files. You can customize the "
                                                 "scan location or file types below."));
            TSafeIniFile ini;
            ini.Load(MainIniPath().toStdString());
            QCOMPARE(ini.ReadString("Main", "ScanTips", ""), std::string("1"));
            // Gone on the sixth tick.
            QVERIFY(WaitFor([&hint] { return !hint.isVisible(); }, 8000));
        }
        {
            MainHarness main;
            QTest::qWait(1500);
            QVERIFY(!main.window->StartPage()->ScanHint()->isVisible());
        }
        WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("ScanTips=1")});
    }
};

QTEST_MAIN(StartPageTest)
#include "start_page_test.moc"
