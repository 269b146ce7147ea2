// Screen readers and UI-automation tools must find and press everything a
// mouse can: every control of every window has a role and a non-empty name,
// check boxes report their state, buttons can be pressed through their
// accessible action, and Tab, Space and Enter work the keyboard through.
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QTest>

#include "gui/app/prompt_box.h"
#include "gui/recover/recover_progress.h"
#include "gui/results/result_page.h"
#include "gui/settings/about_window.h"
#include "gui/settings/settings_window.h"
#include "gui/start/location_chooser.h"
#include "gui/start/location_list.h"
#include "gui/start/scan_dial.h"
#include "gui/start/start_page.h"
#include "gui/start/type_tile.h"
#include "gui/widgets/check_box.h"
#include "gui/widgets/check_list.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/popup_menu.h"
#include "gui/widgets/progress_bar.h"
#include "gui/widgets/title_bar.h"
#include "gui_test_support.h"

using namespace gui_test;

namespace {

QString Describe(QWidget* w) {
    return QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
}

// Every control under `window`: a role, a non-empty name; a list's rows too.
void ExpectEveryControlNamed(QWidget* window) {
    QVERIFY(window);
    int controls = 0;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        // What a tree or a table never shows (their hidden header views, the
        // corner button of a table without row headers) is no control.
        if (w->isHidden() && (qobject_cast<QHeaderView*>(w) || w->inherits("QTableCornerButton")))
            continue;
        const bool interactive = qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractItemView*>(w);
        const bool showsText = qobject_cast<QLabel*>(w) && !static_cast<QLabel*>(w)->text().isEmpty();
        if (!interactive && !showsText)
            continue;
        ++controls;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        QVERIFY2(a && a->isValid(), qPrintable(Describe(w)));
        QVERIFY2(!a->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(Describe(w)));
        if (qobject_cast<QCheckBox*>(w))
            QCOMPARE(a->role(), QAccessible::CheckBox);
        else if (qobject_cast<QPushButton*>(w))
            QCOMPARE(a->role(), QAccessible::Button);
        else if (qobject_cast<QListWidget*>(w)) {
            QCOMPARE(a->role(), QAccessible::List);
            for (int i = 0; i < a->childCount(); ++i)
                QVERIFY2(!a->child(i)->text(QAccessible::Name).isEmpty(), qPrintable(Describe(w)));
        }
        if (interactive)
            QVERIFY2(w->focusPolicy() & Qt::TabFocus, qPrintable(Describe(w)));
    }
    QVERIFY(controls > 0);
}

// What a screen reader does to press a button or flip a check box.
void PressThroughAccessibility(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    QVERIFY(a && a->actionInterface());
    const QString action = qobject_cast<QCheckBox*>(w) ? QAccessibleActionInterface::toggleAction()
                                                        : QAccessibleActionInterface::pressAction();
    QVERIFY(a->actionInterface()->actionNames().contains(action));
    a->actionInterface()->doAction(action);
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }

    void EveryControlOfEveryWindowHasANameAndARole() {
        MainHarness main;
        auto& w = *main.window;
        ExpectEveryControlNamed(w.StartPage());
        ExpectEveryControlNamed(w.ResultPage());
        w.ShowNotice(6);
        ExpectEveryControlNamed(w.NoticeBox());
        w.QuestionBox()->ShowQuestion(1);
        ExpectEveryControlNamed(w.QuestionBox());
        w.Hub().Send(gui::kMsgOpenSettings);
        Settle();
        ExpectEveryControlNamed(w.SettingsWindow());
        w.SettingsWindow()->close();
        Settle();
        w.OpenAbout();
        ExpectEveryControlNamed(w.AboutWindow());
        w.RecoverProgress()->ShowRunning();
        ExpectEveryControlNamed(w.RecoverProgress());
        w.RecoverProgress()->hide();
    }

    void TitleGlyphButtonsAreNamedByTheirHints() {
        MainHarness main;
        RdTitleBar& title = *main.window->StartPage()->TitleBar();
        QCOMPARE(QAccessible::queryAccessibleInterface(title.CloseButton())->text(QAccessible::Name), QStringLiteral("Close"));
        QCOMPARE(QAccessible::queryAccessibleInterface(title.MinimizeButton())->text(QAccessible::Name),
                 QStringLiteral("Minimize"));
        QCOMPARE(QAccessible::queryAccessibleInterface(title.OptionsButton())->text(QAccessible::Name),
                 QStringLiteral("Options"));
    }

    void MenuItemsAreNamed() {
        MainHarness main;
        RdPopupMenu* menu = main.window->StartPage()->OptionsMenu();
        menu->popup(QPoint(10, 10));
        Settle();
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(menu);
        QCOMPARE(a->role(), QAccessible::PopupMenu);
        QCOMPARE(a->childCount(), 2);
        QCOMPARE(a->child(0)->role(), QAccessible::MenuItem);
        QCOMPARE(a->child(0)->text(QAccessible::Name), QStringLiteral("Settings…"));
        QCOMPARE(a->child(1)->text(QAccessible::Name), QStringLiteral("About"));
        menu->hide();
    }

    void AnAccessiblePressAnswersTheQuestion() {
        MainHarness main;
        main.window->Dim();
        main.window->QuestionBox()->ShowQuestion(1);
        main.log->Clear();
        PressThroughAccessibility(main.window->QuestionBox()->DefaultButton());
        // The press is animated: it lands a moment later.
        QTRY_VERIFY(main.log->Has(gui::kMsgRecoverOntoSource));
    }

    void CheckBoxesReportTheirStateAndDisabledButtonsTheirs() {
        gui::TFrm_RecoverySetting settings(nullptr);
        settings.Open();
        Settle();
        RdCheckBox* skip = settings.SkipUacBox();
        QVERIFY(QAccessible::queryAccessibleInterface(skip)->state().checked);
        PressThroughAccessibility(skip);
        QVERIFY(!skip->isChecked());
        QVERIFY(!QAccessible::queryAccessibleInterface(skip)->state().checked);
        settings.OkButton()->setEnabled(false);
        QVERIFY(QAccessible::queryAccessibleInterface(settings.OkButton())->state().disabled);
        settings.close();
    }

    void SpaceAndEnterPressTheFocusedButton_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Space") << int(Qt::Key_Space);
        QTest::newRow("Enter") << int(Qt::Key_Return);
    }
    void SpaceAndEnterPressTheFocusedButton() {
        QFETCH(int, key);
        MainHarness main;
        main.window->Dim();
        main.window->QuestionBox()->ShowQuestion(3);
        RdImgButton* no = main.window->QuestionBox()->OtherButton();
        no->setFocus();
        main.log->Clear();
        QTest::keyClick(no, Qt::Key(key));
        Settle();
        QCOMPARE(main.log->messages.size(), 1);
        QCOMPARE(main.log->messages.first().msg, unsigned(gui::kMsgStayOpen));
    }

    void TabWalksTheQuestionBoxInAnswerOrder() {
        MainHarness main;
        main.window->Dim();
        gui::TFMsgBox_RecoverSelect& box = *main.window->QuestionBox();
        box.ShowQuestion(2);
        QCOMPARE(box.focusWidget(), box.DefaultButton());
        QTest::keyClick(box.DefaultButton(), Qt::Key_Tab);
        QCOMPARE(box.focusWidget(), box.OtherButton());
        QTest::keyClick(box.OtherButton(), Qt::Key_Tab);
        QCOMPARE(box.focusWidget(), box.TitleBar()->CloseButton());
    }

    void ListRowsAndProgressReachScreenReaders() {
        RdCheckList list(true);
        list.setAccessibleName(QStringLiteral("File types"));
        list.AddRow(QStringLiteral("Photos"), QStringLiteral("cat-pictures"), true);
        list.AddRow(QStringLiteral("Music"), QStringLiteral("cat-music"), false);
        list.show();
        Settle();
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&list);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("File types"));
        QCOMPARE(a->childCount(), 2);
        QCOMPARE(a->child(0)->text(QAccessible::Name), QStringLiteral("Photos"));
        QVERIFY(a->child(0)->state().checked);
        QVERIFY(!a->child(1)->state().checked);
        list.setCurrentRow(1);
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Space);
        QCOMPARE(list.item(1)->checkState(), Qt::Checked);

        RdProgressRing ring;
        ring.setAccessibleName(QStringLiteral("Scan progress"));
        ring.setValue(42);
        QAccessibleInterface* r = QAccessible::queryAccessibleInterface(&ring);
        QCOMPARE(r->role(), QAccessible::ProgressBar);
        QCOMPARE(r->valueInterface()->currentValue().toInt(), 42);
    }

    void TheStartPagesControlsAreNamedAndItsEntriesTellTheirCheckedState() {
        const QString image = QStringLiteral(DUNRO_CORPUS_DIR "/ntfs-basic.img");
        const QString outside = dir_.path() + QStringLiteral("/Outside");
        QDir().mkpath(outside);
        MainHarness main({image});
        gui::TFrm_Choose& page = *main.window->StartPage();
        QVERIFY(WaitFor([&page] { return page.Chooser()->DriveListReady(); }));
        QVERIFY(page.Chooser()->AddFolder(outside));
        ExpectEveryControlNamed(&page);

        QAccessibleInterface* scan = QAccessible::queryAccessibleInterface(page.ScanButton());
        QCOMPARE(scan->role(), QAccessible::Button);
        QCOMPARE(scan->text(QAccessible::Name), QStringLiteral("Scan"));
        QAccessibleInterface* dial = QAccessible::queryAccessibleInterface(page.Dial());
        QCOMPARE(dial->role(), QAccessible::ProgressBar);
        QCOMPARE(dial->text(QAccessible::Name), QStringLiteral("Scan progress"));
        page.ShowProgress(37, QString());
        QCOMPARE(dial->valueInterface()->currentValue().toInt(), 37);
        page.Reset();

        QAccessibleInterface* photos = QAccessible::queryAccessibleInterface(page.TypeToggle(gui::kPhotos));
        QCOMPARE(photos->role(), QAccessible::CheckBox);
        QCOMPARE(photos->text(QAccessible::Name), QStringLiteral("Photos"));
        QVERIFY(photos->state().checked);
        PressThroughAccessibility(page.TypeToggle(gui::kPhotos));
        QVERIFY(!photos->state().checked);
        QCOMPARE(int(page.Selections()[gui::kPhotos]), 0);
        QVERIFY(!QAccessible::queryAccessibleInterface(page.MasterToggle())->state().checked);

        gui::RdLocationList& list = *page.Chooser()->List();
        QAccessibleInterface* rows = QAccessible::queryAccessibleInterface(&list);
        QCOMPARE(rows->role(), QAccessible::List);
        QCOMPARE(rows->text(QAccessible::Name), QStringLiteral("Scan Location"));
        QCOMPARE(rows->childCount(), list.count());
        for (int i = 0; i < list.count(); ++i) {
            QListWidgetItem* item = list.item(i);
            QAccessibleInterface* row = rows->child(i);
            QCOMPARE(row->text(QAccessible::Name), item->text());
            QCOMPARE(bool(row->state().checked), item->checkState() == Qt::Checked);
            // An entry that cannot be scanned offers no check mark and says why.
            const bool usable = gui::RdLocationList::Usable(item);
            QCOMPARE(bool(row->state().checkable), usable);
            if (!usable)
                QVERIFY(row->text(QAccessible::Description).contains(item->data(gui::kHintRole).toString()));
        }
        // Space flips the current entry, and the screen reader hears it.
        list.setFocus();
        list.setCurrentRow(0);
        QTest::keyClick(&list, Qt::Key_Space);
        QVERIFY(!rows->child(0)->state().checked);
        QTest::keyClick(&list, Qt::Key_Space);
        QVERIFY(rows->child(0)->state().checked);
    }

    void AnAccessiblePressOfScanPostsTheStartRequest() {
        MainHarness main({QStringLiteral(DUNRO_CORPUS_DIR "/fat32-basic.img")});
        gui::TFrm_Choose& page = *main.window->StartPage();
        QVERIFY(WaitFor([&page] { return page.Chooser()->DriveListReady(); }));
        main.log->Clear();
        PressThroughAccessibility(page.ScanButton());
        QTRY_VERIFY(main.log->Has(gui::kMsgStartRequest));
        QTRY_COMPARE(QAccessible::queryAccessibleInterface(page.ScanButton())->text(QAccessible::Name),
                     QStringLiteral("STOP"));
        QVERIFY(WaitFor([&main] { return main.window->ResultPage()->isVisible(); }));
    }

    void TheLoadingPanelIsNamed() {
        MainHarness main({QStringLiteral(DUNRO_CORPUS_DIR "/ntfs-basic.img")});
        QWidget* loading = main.window->StartPage()->Chooser()->LoadingPanel();
        QVERIFY(loading->isVisible());
        QCOMPARE(QAccessible::queryAccessibleInterface(loading)->text(QAccessible::Name), QStringLiteral("Loading..."));
        QVERIFY(main.WaitForDriveList());
    }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
