// The main window as the hub's receiver: pages, dimming, the close request
// with its questions, minimize and restore, the options menu, and messages
// posted from a worker's thread.
#include <QTest>

#include <thread>

#include "gui/app/mask_overlay.h"
#include "gui/app/prompt_box.h"
#include "gui/results/result_page.h"
#include "gui/settings/about_window.h"
#include "gui/settings/settings_window.h"
#include "gui/start/location_chooser.h"
#include "gui/start/start_page.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/popup_menu.h"
#include "gui/widgets/skin_label.h"
#include "gui/widgets/title_bar.h"
#include "gui_test_support.h"
#include "scan_test_support.h"
#include "scan/progress.h"
#include "scan/scan_worker.h"

using namespace gui_test;

class MainWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }

    void OpensBorderlessAt960x660WithTheStartPage() {
        MainHarness main;
        auto& w = *main.window;
        QCOMPARE(w.size(), QSize(960, 660));
        QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(w.StartPage()->isVisible());
        QVERIFY(!w.ResultPage()->isVisible());
        QVERIFY(!w.Dimmed());
        QVERIFY(!w.QuestionBox()->isVisible());
        QVERIFY(!w.NoticeBox()->isVisible());
        QCOMPARE(w.StartPage()->TitleBar()->Title(), QStringLiteral("Dunro Data Recovery"));
    }

    void DimmingMessageDimsAndUndims() {
        MainHarness main;
        auto& w = *main.window;
        w.Hub().Dim();
        QVERIFY(w.Dimmed());
        QVERIFY(w.Mask()->isVisible());
        QCOMPARE(w.Mask()->geometry(), w.rect());
        QVERIFY(!w.StartPage()->isEnabled());
        w.Hub().Undim();
        QVERIFY(!w.Dimmed());
        QVERIFY(w.StartPage()->isEnabled());
    }

    void ClickOnTheOverlaySendsDimmingAndKeepsTheWindowDimmed() {
        MainHarness main;
        main.window->Dim();
        main.log->Clear();
        QTest::mouseClick(main.window->Mask(), Qt::LeftButton, {}, QPoint(100, 100));
        Settle();
        QCOMPARE(main.log->Of(gui::Msg::Dimming).size(), 1);
        QCOMPARE(main.log->Of(gui::Msg::Dimming).first().wparam, uintptr_t(0));
        QVERIFY(main.window->Dimmed());
    }

    void CloseRequestOnTheIdleStartPageEndsTheProcess() {
        MainHarness main;
        QTest::mouseClick(main.window->StartPage()->TitleBar()->CloseButton(), Qt::LeftButton);
        Settle();
        QVERIFY(main.log->Has(gui::Msg::CloseRequest));
        QCOMPARE(main.processEnds, 1);
        QVERIFY(!main.window->QuestionBox()->isVisible());
    }

    // The restart with administrator rights takes the offered images along and
    // ends this window only once the new one has started; the settings decide
    // whether question 7 comes first.
    void RestartAsAdministratorAsksUnlessSkippedAndEndsOnlyWhenStarted() {
        const QString image = Corpus("ntfs-basic.img");
        for (const bool skip : {false, true}) {
            WriteMainIni({QStringLiteral("[main]"), skip ? QStringLiteral("SkipUAC=1") : QStringLiteral("SkipUAC=0")});
            for (const auto outcome : {platform::ElevationOutcome::Declined, platform::ElevationOutcome::Started}) {
                MainHarness main({image});
                QVERIFY(main.WaitForDriveList());
                std::vector<std::vector<std::string>> restarts;
                main.window->SetElevatedRestart([&](const std::vector<std::string>& arguments, std::string&) {
                    restarts.push_back(arguments);
                    return outcome;
                });
                emit main.window->StartPage()->Chooser()->RestartAsAdministratorRequested();
                Settle();
                gui::TFMsgBox_RecoverSelect& question = *main.window->QuestionBox();
                QCOMPARE(question.isVisible(), !skip);
                if (!skip) {
                    QCOMPARE(question.Kind(), gui::Question::RestartAsAdministrator);
                    QVERIFY(restarts.empty());
                    QTest::mouseClick(question.DefaultButton(), Qt::LeftButton);
                    Settle();
                    QVERIFY(main.log->Has(gui::Msg::RestartAsAdministrator));
                }
                QCOMPARE(restarts.size(), size_t(1));
                const std::vector<std::string> expected{
                    "--restarted-from", std::to_string(platform::CurrentProcessId()), image.toStdString()};
                QCOMPARE(restarts[0], expected);
                // Declined at the system's prompt, the window goes on as it was.
                QCOMPARE(main.processEnds, outcome == platform::ElevationOutcome::Started ? 1 : 0);
                if (outcome == platform::ElevationOutcome::Declined)
                    QVERIFY(!main.window->Dimmed());
            }
        }
    }

    void CloseRequestOnTheResultPageAsksQuestion4() {
        MainHarness main;
        auto& w = *main.window;
        w.Hub().Post(gui::Msg::PreviewClosed);  // shows the result page
        Settle();
        QVERIFY(w.ResultPage()->isVisible());
        QTest::mouseClick(w.ResultPage()->TitleBar()->CloseButton(), Qt::LeftButton);
        Settle();
        QCOMPARE(main.processEnds, 0);
        QVERIFY(w.Dimmed());
        QVERIFY(w.QuestionBox()->isVisible());
        QCOMPARE(w.QuestionBox()->Kind(), gui::Question::ExitLeavingResults);
        // NO: the box goes, the window comes back.
        QTest::mouseClick(w.QuestionBox()->OtherButton(), Qt::LeftButton);
        Settle();
        QVERIFY(main.log->Has(gui::Msg::StayOpen));
        QVERIFY(!w.QuestionBox()->isVisible());
        QVERIFY(!w.Dimmed());
        QCOMPARE(main.processEnds, 0);
        // YES: the program ends.
        w.Hub().Post(gui::Msg::CloseRequest);
        Settle();
        QTest::mouseClick(w.QuestionBox()->DefaultButton(), Qt::LeftButton);
        Settle();
        QVERIFY(main.log->Has(gui::Msg::LeaveResults));
        QCOMPARE(main.processEnds, 1);
    }

    void CloseRequestDuringAScanHoldsItAndAsksQuestion3() {
        MainHarness main;
        auto& w = *main.window;
        w.Progress().FCloseAllowed = false;
        w.ScanWorker().PassIdle = false;
        w.Hub().Post(gui::Msg::CloseRequest);
        Settle();
        QCOMPARE(w.QuestionBox()->Kind(), gui::Question::ExitDuringScan);
        QVERIFY(w.QuestionBox()->isVisible());
        QVERIFY(w.ScanHeldForQuestion());
        QVERIFY(w.Dimmed());
        QTest::keyClick(w.QuestionBox(), Qt::Key_Escape);
        Settle();
        QVERIFY(!w.ScanHeldForQuestion());
        QVERIFY(!w.QuestionBox()->isVisible());
        QVERIFY(!w.Dimmed());
        QCOMPARE(main.processEnds, 0);
        w.Hub().Post(gui::Msg::CloseRequest);
        Settle();
        QTest::mouseClick(w.QuestionBox()->DefaultButton(), Qt::LeftButton);
        Settle();
        QVERIFY(main.log->Has(gui::Msg::ExitDuringScan));
        QCOMPARE(main.processEnds, 1);
        w.ScanWorker().PassIdle = true;
        w.Progress().FCloseAllowed = true;
    }

    void ClosingTheWindowAnyOtherWayEndsTheProcess() {
        MainHarness main;
        main.window->close();
        Settle();
        QCOMPARE(main.processEnds, 1);
    }

    void MinimizeButtonPostsMinimizeAndASecondStartRestores960x660() {
        MainHarness main;
        auto& w = *main.window;
        QTest::mouseClick(w.StartPage()->TitleBar()->MinimizeButton(), Qt::LeftButton);
        Settle();
        QVERIFY(main.log->Has(gui::Msg::Minimize));
        QVERIFY(w.isMinimized());
        w.RestoreFromSecondStart();
        Settle();
        QVERIFY(!w.isMinimized());
        QVERIFY(w.isVisible());
        QCOMPARE(w.size(), QSize(960, 660));
    }

    void PressOnTheTitleSendsTheDragMessage() {
        MainHarness main;
        main.log->Clear();
        QTest::mousePress(main.window->StartPage()->TitleBar(), Qt::LeftButton, {}, QPoint(120, 20));
        QTest::mouseRelease(main.window->StartPage()->TitleBar(), Qt::LeftButton, {}, QPoint(120, 20));
        Settle();
        QVERIFY(main.log->Has(gui::Msg::DragWindow));
    }

    void MovingTheWindowKeepsItsOuterPosition() {
        MainHarness main;
        main.window->move(123, 45);
        Settle();
        QCOMPARE(main.window->OuterPosition(), main.window->frameGeometry().topLeft());
    }

    void BackAndPreviewClosedSwitchPages() {
        MainHarness main;
        auto& w = *main.window;
        w.Hub().Send(gui::Msg::PreviewClosed);
        QVERIFY(w.ResultPage()->isVisible());
        QVERIFY(!w.StartPage()->isVisible());
        QTest::mouseClick(w.ResultPage()->BackButton(), Qt::LeftButton);
        Settle();
        QVERIFY(main.log->Has(gui::Msg::BackToStart));
        QVERIFY(w.StartPage()->isVisible());
        QVERIFY(!w.ResultPage()->isVisible());
    }

    void AMessagePostedFromAWorkerThreadArrivesOnTheWindowThread() {
        MainHarness main;
        MessageSink& sink = main.window->Hub();
        std::thread worker([&sink] { sink.post(unsigned(gui::Msg::PreviewClosed), 0, 0); });
        worker.join();
        QVERIFY(!main.window->ResultPage()->isVisible());  // queued, not yet handled
        Settle();
        QVERIFY(main.window->ResultPage()->isVisible());
    }

    void NothingToRecoverShowsNotice4() {
        MainHarness main;
        main.window->Hub().Post(gui::Msg::NothingToRecover);
        Settle();
        QVERIFY(main.window->Dimmed());
        QVERIFY(main.window->NoticeBox()->isVisible());
        QCOMPARE(main.window->NoticeBox()->Kind(), gui::Notice::NothingChecked);
    }

    void StopRequestStopsTheScanPass() {
        MainHarness main;
        auto& w = *main.window;
        w.ScanWorker().PassIdle = false;
        w.Progress().FScanCancelled = false;
        w.Hub().Post(gui::Msg::StopRequest);
        Settle();
        QVERIFY(w.ScanWorker().PassIdle);
        QVERIFY(w.Progress().FScanCancelled);
        w.Progress().FScanCancelled = false;
    }

    void OptionsMenuSettingsPostsItsMessageAndOpensTheSettingsWindow() {
        MainHarness main;
        auto& w = *main.window;
        QTest::mouseClick(w.StartPage()->TitleBar()->OptionsButton(), Qt::LeftButton);
        Settle();
        QVERIFY(w.StartPage()->OptionsMenu()->isVisible());
        const QList<QAction*> items = w.StartPage()->OptionsMenu()->actions();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0]->text(), QStringLiteral("Settings…"));
        QCOMPARE(items[1]->text(), QStringLiteral("About"));
        QTest::keyClick(w.StartPage()->OptionsMenu(), Qt::Key_Down);
        QTest::keyClick(w.StartPage()->OptionsMenu(), Qt::Key_Return);
        Settle();
        QVERIFY(main.log->Has(gui::Msg::OpenSettings));
        QVERIFY(w.SettingsWindow());
        QVERIFY(w.SettingsWindow()->isVisible());
        QCOMPARE(w.SettingsWindow()->windowModality(), Qt::ApplicationModal);
        QVERIFY(w.Dimmed());
        QTest::mouseClick(w.SettingsWindow()->CancelButton(), Qt::LeftButton);
        Settle();
        QVERIFY(!w.SettingsWindow());
        QVERIFY(!w.Dimmed());
    }

    void OptionsMenuAboutOpensTheAboutWindowWithTheVersion() {
        MainHarness main;
        auto& w = *main.window;
        w.StartPage()->OptionsMenu()->actions()[1]->trigger();
        Settle();
        QVERIFY(w.AboutWindow());
        QVERIFY(w.AboutWindow()->isVisible());
        QVERIFY(w.Dimmed());
        QCOMPARE(main.log->Of(gui::Msg::Dimming).size(), 1);
        QCOMPARE(gui::ProgramVersion(), QStringLiteral(DUNRO_PROJECT_VERSION));
        QCOMPARE(w.AboutWindow()->VersionLabel()->text(), QStringLiteral("Version " DUNRO_PROJECT_VERSION));
        QTest::keyClick(w.AboutWindow(), Qt::Key_Escape);
        Settle();
        QVERIFY(!w.AboutWindow()->isVisible());
        QVERIFY(!w.Dimmed());
        QCOMPARE(main.log->Of(gui::Msg::Dimming).last().wparam, uintptr_t(1));
    }

    void ResultPageTakesTheAnswerOfQuestion5() {
        MainHarness main;
        auto& w = *main.window;
        w.ShowResultPage();
        w.Dim();
        w.QuestionBox()->ShowQuestion(gui::Question::BackLeavingResults);
        QTest::mouseClick(w.QuestionBox()->DefaultButton(), Qt::LeftButton);
        Settle();
        QVERIFY(!w.QuestionBox()->isVisible());
        QVERIFY(!w.Dimmed());
        QVERIFY(w.StartPage()->isVisible());
        QCOMPARE(main.processEnds, 0);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
