// The notice and question boxes: for every kind the exact text with its
// placeholders filled, and the message each answer posts (button, close,
// Esc, Enter).
#include <QTest>

#include "gui/app/prompt_box.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/title_bar.h"
#include "gui_test_support.h"
#include "recover/recover_worker.h"
#include "scan/progress.h"
#include "volume/records.h"

using gui::HubMessage;
using gui::HubTarget;
using namespace gui_test;

Q_DECLARE_METATYPE(HubTarget)

namespace {
enum class Answer { DefaultButton, OtherButton, CloseButton, Escape, Enter };
}
Q_DECLARE_METATYPE(Answer)

class PromptBoxTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    TMyFile first_, second_;

    void GiveAnswer(gui::PromptBox& box, ::Answer answer) {
        switch (answer) {
        case ::Answer::DefaultButton: QTest::mouseClick(box.DefaultButton(), Qt::LeftButton); break;
        case ::Answer::OtherButton: QTest::mouseClick(box.OtherButton(), Qt::LeftButton); break;
        case ::Answer::CloseButton: QTest::mouseClick(box.TitleBar()->CloseButton(), Qt::LeftButton); break;
        case ::Answer::Escape: QTest::keyClick(&box, Qt::Key_Escape); break;
        case ::Answer::Enter:
            // Enter on the box itself, not on a focused button: the default answer.
            box.setFocus();
            QTest::keyClick(&box, Qt::Key_Return);
            break;
        }
        Settle();
    }

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }

    void NoticeShowsTheDefaultTextOfEachKind_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1 << "You must select at least one file type to continue.";
        QTest::newRow("2") << 2 << "You must select at least one item to continue.";
        QTest::newRow("3") << 3 << "No deleted files found.";
        QTest::newRow("4") << 4 << "Please select at least one file to continue the recovery.";
        QTest::newRow("5") << 5 << "The directory does not exist. Please choose a valid directory.";
        QTest::newRow("6") << 6
                           << "The selected drive does not have 1.5 MB free space to store the recovered file. "
                              "Please choose another one to continue the recovery.";
        QTest::newRow("7") << 7
                           << "File cannot be recovered to a read-only removable disk. Please choose another one "
                              "to continue the recovery.";
    }
    void NoticeShowsTheDefaultTextOfEachKind() {
        QFETCH(int, kind);
        QFETCH(QString, text);
        MainHarness main;
        main.window->RecoverWorker().JobBytes = 1'572'864;
        main.window->ShowNotice(gui::Notice(kind));
        QCOMPARE(int(main.window->NoticeBox()->Kind()), kind);
        QCOMPARE(BoxText(*main.window->NoticeBox()), text);
        QVERIFY(main.window->NoticeBox()->isVisible());
        QVERIFY(main.window->Dimmed());
        QCOMPARE(main.window->NoticeBox()->TitleBar()->Title(), QStringLiteral("Dunro Data Recovery"));
        QCOMPARE(main.window->NoticeBox()->DefaultButton()->text(), QStringLiteral("OK"));
        QCOMPARE(main.window->NoticeBox()->TitleBar()->CloseButton()->toolTip(), QStringLiteral("Close"));
    }

    void NoticesOfTwoFilesSayFiles() {
        MainHarness main;
        main.window->RecoverWorker().JobBytes = 3'145'728;
        main.window->RecoverWorker().Jobs = {&first_, &second_};
        main.window->ShowNotice(gui::Notice::NoRoom);
        QCOMPARE(BoxText(*main.window->NoticeBox()),
                 QStringLiteral("The selected drive does not have 3.0 MB free space to store the recovered files. "
                                "Please choose another one to continue the recovery."));
        main.window->ShowNotice(gui::Notice::ReadOnlyFolder);
        QVERIFY(BoxText(*main.window->NoticeBox()).startsWith(QStringLiteral("Files cannot be recovered")));
        main.window->RecoverWorker().Jobs.clear();
    }

    void NoticeAnswersPostTheirMessages_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<::Answer>("answer");
        QTest::addColumn<unsigned>("msg");
        QTest::addColumn<qlonglong>("lparam");
        QTest::addColumn<bool>("stillShown");
        for (int kind = 1; kind <= 5; ++kind) {
            const QByteArray k = QByteArray::number(kind);
            QTest::newRow("notice " + k + " OK") << kind << ::Answer::DefaultButton << 1033u << 1LL << false;
            QTest::newRow("notice " + k + " Enter") << kind << ::Answer::Enter << 1033u << 1LL << false;
            QTest::newRow("notice " + k + " close") << kind << ::Answer::CloseButton << 1033u << 0LL << false;
            QTest::newRow("notice " + k + " Esc") << kind << ::Answer::Escape << 1033u << 0LL << false;
        }
        for (int kind = 6; kind <= 7; ++kind) {
            const QByteArray k = QByteArray::number(kind);
            QTest::newRow("notice " + k + " OK") << kind << ::Answer::DefaultButton << 1064u << 0LL << false;
            QTest::newRow("notice " + k + " close") << kind << ::Answer::CloseButton << 1064u << 0LL << false;
            QTest::newRow("notice " + k + " Esc") << kind << ::Answer::Escape << 1064u << 0LL << false;
        }
    }
    void NoticeAnswersPostTheirMessages() {
        QFETCH(int, kind);
        QFETCH(::Answer, answer);
        QFETCH(unsigned, msg);
        QFETCH(qlonglong, lparam);
        QFETCH(bool, stillShown);
        MainHarness main;
        main.window->ShowNotice(gui::Notice(kind));
        main.log->Clear();
        GiveAnswer(*main.window->NoticeBox(), answer);
        QCOMPARE(main.log->messages.size(), 1);
        const HubMessage posted = main.log->messages.first();
        QCOMPARE(posted.target, HubTarget::MainWindow);
        QCOMPARE(unsigned(posted.msg), msg);
        QCOMPARE(posted.wparam, uintptr_t(0));
        QCOMPARE(qlonglong(posted.lparam), lparam);
        QCOMPARE(main.window->NoticeBox()->isVisible(), stillShown);
        if (msg == 1033)
            QVERIFY(!main.window->Dimmed());  // the main window's answer undims
    }

    void QuestionShowsTheDefaultTextOfEachKind_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1
                           << "Are you sure to recover the files to the original drive? (It may overwrite the "
                              "original data and reduce the chance of a successful recovery.)";
        QTest::newRow("2") << 2 << "7 files may not be recovered. Are you sure you want to stop the recovery?";
        QTest::newRow("3") << 3 << "Scanning is in progress. Are you sure you want to exit the program?";
        QTest::newRow("4") << 4 << "Current scan results won't be saved if you leave now? Continue?";
        QTest::newRow("5") << 5 << "Current scan results won't be saved if you leave now? Continue?";
    }
    void QuestionShowsTheDefaultTextOfEachKind() {
        QFETCH(int, kind);
        QFETCH(QString, text);
        MainHarness main;
        // Ten files, the fourth being copied: seven are not finished.
        main.window->Progress().FRecoverFiles = 10;
        main.window->Progress().FRecoverAttempted = 4;
        main.window->Dim();
        main.window->QuestionBox()->ShowQuestion(gui::Question(kind));
        QCOMPARE(int(main.window->QuestionBox()->Kind()), kind);
        QCOMPARE(BoxText(*main.window->QuestionBox()), text);
        QVERIFY(main.window->QuestionBox()->isVisible());
        QCOMPARE(main.window->QuestionBox()->DefaultButton()->text(), QStringLiteral("Yes"));
        QCOMPARE(main.window->QuestionBox()->OtherButton()->text(), QStringLiteral("Cancel"));
        QCOMPARE(main.window->QuestionBox()->TitleBar()->Title(), QStringLiteral("Dunro Data Recovery"));
    }

    void QuestionAnswersPostTheirMessages_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<::Answer>("answer");
        QTest::addColumn<HubTarget>("target");
        QTest::addColumn<unsigned>("msg");
        QTest::addColumn<qulonglong>("wparam");
        const struct {
            int kind;
            HubTarget target;
            unsigned yes, no;
            qulonglong yesW, noW;
        } table[] = {
            {1, HubTarget::MainWindow, 1050, 1051, 0, 0}, {2, HubTarget::MainWindow, 1058, 1057, 0, 0},
            {3, HubTarget::MainWindow, 1073, 1074, 0, 0}, {4, HubTarget::MainWindow, 1075, 1074, 0, 0},
            {5, HubTarget::ResultPage, 1075, 1075, 1, 0}, {8, HubTarget::MainWindow, 1082, 1074, 0, 0},
        };
        for (const auto& row : table) {
            const QByteArray k = "question " + QByteArray::number(row.kind);
            QTest::newRow(k + " YES") << row.kind << ::Answer::DefaultButton << row.target << row.yes << row.yesW;
            QTest::newRow(k + " Enter") << row.kind << ::Answer::Enter << row.target << row.yes << row.yesW;
            QTest::newRow(k + " NO") << row.kind << ::Answer::OtherButton << row.target << row.no << row.noW;
            QTest::newRow(k + " close") << row.kind << ::Answer::CloseButton << row.target << row.no << row.noW;
            QTest::newRow(k + " Esc") << row.kind << ::Answer::Escape << row.target << row.no << row.noW;
        }
    }
    void QuestionAnswersPostTheirMessages() {
        QFETCH(int, kind);
        QFETCH(::Answer, answer);
        QFETCH(HubTarget, target);
        QFETCH(unsigned, msg);
        QFETCH(qulonglong, wparam);
        MainHarness main;
        main.window->Dim();
        main.window->QuestionBox()->ShowQuestion(gui::Question(kind));
        main.log->Clear();
        GiveAnswer(*main.window->QuestionBox(), answer);
        QVERIFY(!main.log->messages.isEmpty());
        const HubMessage posted = main.log->messages.first();
        QCOMPARE(posted.target, target);
        QCOMPARE(unsigned(posted.msg), msg);
        QCOMPARE(qulonglong(posted.wparam), wparam);
        QCOMPARE(posted.lparam, intptr_t(0));
    }

    void BoxesTakeTheChosenLanguage() {
        WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("Language=Deutsch")});
        MainHarness main;
        main.window->ShowNotice(gui::Notice::NoTypeChosen);
        QCOMPARE(BoxText(*main.window->NoticeBox()), QStringLiteral("Bitte wählen Sie mindestens einen Dateityp aus."));
        QCOMPARE(main.window->NoticeBox()->DefaultButton()->text(), QStringLiteral("OK"));
        main.window->QuestionBox()->ShowQuestion(gui::Question::ExitDuringScan);
        QCOMPARE(main.window->QuestionBox()->DefaultButton()->text(), QStringLiteral("Ja"));
        QCOMPARE(main.window->QuestionBox()->OtherButton()->text(), QStringLiteral("Abbrechen"));
        QFile::remove(MainIniPath());
    }

    void BoxesStandInTheMiddleOfTheMainWindow() {
        MainHarness main;
        main.window->move(40, 30);
        Settle();
        main.window->Dim();
        main.window->QuestionBox()->ShowQuestion(gui::Question::RecoverOntoSource);
        const QRect box = main.window->QuestionBox()->frameGeometry();
        const QPoint origin = main.window->frameGeometry().topLeft();
        QCOMPARE(box.left(), origin.x() + (960 - box.width()) / 2);
        QCOMPARE(box.top(), origin.y() + (660 - box.height()) / 2);
        QCOMPARE(box.width(), 411);
        QVERIFY(box.height() >= 213);
    }

    void ShowingABoxDoesNotBlockTheWindowThread() {
        MainHarness main;
        main.window->ShowNotice(gui::Notice::NothingFound);
        // Still here, with the box up: nothing waited for an answer.
        QVERIFY(main.window->NoticeBox()->isVisible());
        QVERIFY(!main.window->NoticeBox()->isModal());
    }
};

QTEST_MAIN(PromptBoxTest)
#include "prompt_box_test.moc"
