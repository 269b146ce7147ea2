// Screen readers and UI-automation tools must find and press everything a
// mouse can: every control of every window has a role and a non-empty name,
// check boxes report their state, buttons can be pressed through their
// accessible action, and Tab, Space and Enter work the keyboard through.
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QLineEdit>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QTest>

#include "gui/app/image_search_controller.h"
#include "gui/app/prompt_box.h"
#include "gui/recover/recover_progress.h"
#include "gui/results/result_list.h"
#include "gui/results/result_list_model.h"
#include "gui/results/result_page.h"
#include "gui/results/search_box.h"
#include "gui/settings/about_window.h"
#include "gui/settings/settings_window.h"
#include "gui/start/image_search_window.h"
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
#include "gui/widgets/skin_label.h"
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

QStringList ShownNames(gui::TFrm_Result& page) {
    QStringList names;
    for (const TMyFile* f : page.View().ShownFiles)
        names << QString::fromStdString(f->FileName);
    names.sort();
    return names;
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
        w.ShowNotice(gui::Notice::NoRoom);
        ExpectEveryControlNamed(w.NoticeBox());
        w.QuestionBox()->ShowQuestion(gui::Question::RecoverOntoSource);
        ExpectEveryControlNamed(w.QuestionBox());
        w.Hub().Send(gui::Msg::OpenSettings);
        Settle();
        ExpectEveryControlNamed(w.SettingsWindow());
        w.SettingsWindow()->close();
        Settle();
        w.OpenAbout();
        ExpectEveryControlNamed(w.AboutWindow());
        w.RecoverProgress()->ShowRunning();
        ExpectEveryControlNamed(w.RecoverProgress());
        w.RecoverProgress()->hide();
        w.QuestionBox()->ShowQuestion(gui::Question::SearchWholeImage);
        ExpectEveryControlNamed(w.QuestionBox());
        w.QuestionBox()->hide();
        gui::TFrm_ImageSearch& search = *w.ImageSearch().ProgressWindow();
        search.ShowRunning(QStringLiteral("disk.img"));
        ExpectEveryControlNamed(&search);
        QCOMPARE(QAccessible::queryAccessibleInterface(search.StopButton())->text(QAccessible::Name),
                 QStringLiteral("STOP"));
        QCOMPARE(QAccessible::queryAccessibleInterface(search.Bar())->role(), QAccessible::ProgressBar);
        QVERIFY(!QAccessible::queryAccessibleInterface(search.Bar())->text(QAccessible::Name).isEmpty());
        search.Finish();
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
        main.window->QuestionBox()->ShowQuestion(gui::Question::RecoverOntoSource);
        main.log->Clear();
        PressThroughAccessibility(main.window->QuestionBox()->DefaultButton());
        // The press is animated: it lands a moment later.
        QTRY_VERIFY(main.log->Has(gui::Msg::RecoverOntoSource));
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
        main.window->QuestionBox()->ShowQuestion(gui::Question::ExitDuringScan);
        RdImgButton* no = main.window->QuestionBox()->OtherButton();
        no->setFocus();
        main.log->Clear();
        QTest::keyClick(no, Qt::Key(key));
        Settle();
        QCOMPARE(main.log->messages.size(), 1);
        QCOMPARE(main.log->messages.first().msg, gui::Msg::StayOpen);
    }

    void TheImageSearchsStopIsFocusedAndPressedFromTheKeyboard() {
        MainHarness main;
        gui::TFrm_ImageSearch& search = *main.window->ImageSearch().ProgressWindow();
        search.ShowRunning(QStringLiteral("disk.img"));
        QCOMPARE(search.focusWidget(), search.StopButton());
        main.log->Clear();
        QTest::keyClick(search.StopButton(), Qt::Key_Space);
        Settle();
        QVERIFY(main.log->Has(gui::Msg::StopImageSearch));
        search.Finish();
    }

    void TabWalksTheQuestionBoxInAnswerOrder() {
        MainHarness main;
        main.window->Dim();
        gui::TFMsgBox_RecoverSelect& box = *main.window->QuestionBox();
        box.ShowQuestion(gui::Question::StopRecovery);
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
        QTRY_VERIFY(main.log->Has(gui::Msg::StartRequest));
        QTRY_COMPARE(QAccessible::queryAccessibleInterface(page.ScanButton())->text(QAccessible::Name),
                     QStringLiteral("STOP"));
        QVERIFY(WaitFor([&main] { return main.window->ResultPage()->isVisible(); }));
    }

    // A screen-reader user must hear which files will be recovered and
    // change it: a row's name cell is a check box of its own, the header's
    // check-all box is named, tells its state and checks every row.
    void FileRowsAndTheCheckAllBoxTellAndChangeTheirChecks() {
        MainHarness main;
        QVERIFY(ScanAndShowResults(*main.window, DUNRO_CORPUS_DIR "/ntfs-basic.img"));
        gui::TFrm_Result& page = *main.window->ResultPage();
        gui::ResultList& list = *page.List();
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&list);
        QCOMPARE(table->role(), QAccessible::Table);
        QCOMPARE(table->text(QAccessible::Name), QStringLiteral("Found files"));
        QAccessibleTableInterface* cells = table->tableInterface();
        QVERIFY(cells);
        const int rows = page.ListModel()->rowCount();
        QVERIFY(rows > 2);
        QCOMPARE(cells->rowCount(), rows);
        QCOMPARE(cells->columnCount(), page.ListModel()->columnCount());
        QCOMPARE(cells->columnDescription(results::kColumnSize), QStringLiteral("Size"));

        list.selectRow(0);
        QAccessibleInterface* name = cells->cellAt(1, results::kColumnName);
        QCOMPARE(name->text(QAccessible::Name), QString::fromStdString(page.View().ShownFiles[1]->FileName));
        QVERIFY(name->state().checkable);
        QVERIFY(!name->state().checked);
        QVERIFY(!cells->cellAt(1, results::kColumnSize)->state().checkable);
        QAccessibleActionInterface* actions = name->actionInterface();
        QVERIFY(actions && actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        actions->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(page.View().ShownFiles[1]->Checked);
        QCOMPARE(page.View().CheckedCount, 1);
        QVERIFY(name->state().checked);
        QVERIFY(page.SelectedLabel()->isVisible());
        // Checking is not selecting: the selected row stays the one it was.
        QCOMPARE(cells->selectedRows(), QList<int>{0});
        actions->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(page.View().CheckedCount, 0);
        QVERIFY(!name->state().checked);

        QAccessibleInterface* all = table->child(0);
        QCOMPARE(all->role(), QAccessible::CheckBox);
        QCOMPARE(all->text(QAccessible::Name), QStringLiteral("Check all files"));
        QVERIFY(all->state().checkable);
        QVERIFY(!all->state().checked);
        QVERIFY(all->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        all->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(page.View().CheckedCount, rows);
        QVERIFY(all->state().checked);
        QVERIFY(cells->cellAt(rows - 1, results::kColumnName)->state().checked);
        all->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(page.View().CheckedCount, 0);
        QVERIFY(!all->state().checked);

        // The column headers are named, and pressing one sorts by it.
        QAccessibleInterface* size = table->child(1 + results::kColumnSize);
        QCOMPARE(size->role(), QAccessible::ColumnHeader);
        QCOMPARE(size->text(QAccessible::Name), QStringLiteral("Size"));
        size->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(page.View().SortColumn, results::kColumnSize);
        // Children are numbered as the table view's own events number them.
        QCOMPARE(table->indexOfChild(name), 2 * (cells->columnCount() + 1) + 1 + results::kColumnName);
    }

    // A screen reader or a test robot puts text into the box through its
    // accessible interface, never through key presses: the search follows
    // all the same, after the short pause typing has.
    void TextPutIntoTheSearchBoxThroughAccessibilitySearches() {
        MainHarness main;
        QVERIFY(ScanAndShowResults(*main.window, DUNRO_CORPUS_DIR "/ntfs-basic.img"));
        gui::TFrm_Result& page = *main.window->ResultPage();
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(page.Search()->Edit());
        QCOMPARE(box->role(), QAccessible::EditableText);
        QCOMPARE(box->text(QAccessible::Name), QStringLiteral("Search files"));

        box->setText(QAccessible::Value, QStringLiteral("JPG"));
        QVERIFY(ShownNames(page).size() > 2);  // not at once
        QTRY_COMPARE_WITH_TIMEOUT(ShownNames(page), (QStringList{QStringLiteral("Plage à Nice.jpg"), QStringLiteral("beach.jpg")}),
                                  1000);
        QVERIFY(page.Search()->ClearButton()->isVisible());

        QAccessibleEditableTextInterface* edit = box->editableTextInterface();
        QVERIFY(edit);
        edit->replaceText(0, 3, QStringLiteral("beach"));
        QTRY_COMPARE_WITH_TIMEOUT(ShownNames(page), QStringList{QStringLiteral("beach.jpg")}, 1000);
        edit->deleteText(0, 5);
        edit->insertText(0, QStringLiteral("Plage"));
        QTRY_COMPARE_WITH_TIMEOUT(ShownNames(page), QStringList{QStringLiteral("Plage à Nice.jpg")}, 1000);
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
