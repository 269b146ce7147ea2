// The result page on real scans of the corpus images, driven the way a user
// does: its trees with their nodes and counts, the row and header check
// boxes, the search box, the column sort, Back and Recover, the keys, what a
// screen reader finds, and that it lists what `dunro scan` lists for the
// same filter.
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <set>
#include <unordered_map>

#include "gui/app/prompt_box.h"
#include "gui/results/result_list.h"
#include "gui/results/result_list_model.h"
#include "gui/results/result_page.h"
#include "gui/results/result_trees.h"
#include "gui/results/search_box.h"
#include "gui/start/start_page.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin_label.h"
#include "gui_test_support.h"
#include "results/location.h"
#include "results/tree_nodes.h"
#include "scan/progress.h"
#include "scan/scan_worker.h"
#include "volume/helpers.h"

using namespace gui_test;

namespace {

std::string Corpus(const char* name) { return std::string(DUNRO_CORPUS_DIR) + "/" + name; }

std::set<std::string> Names(const std::vector<TMyFile*>& files) {
    std::set<std::string> names;
    for (const TMyFile* f : files)
        names.insert(f->FileName);
    return names;
}

// The positions in the scan's list of the files the page shows: the ids the
// command line prints for the same files.
std::set<qint64> ShownIds(gui::TFram_UndeleteMain& window) {
    const auto& all = window.ScanWorker().AllFiles;
    std::unordered_map<const TMyFile*, qint64> id;
    for (size_t i = 0; i < all.size(); ++i)
        id[all[i]] = static_cast<qint64>(i);
    std::set<qint64> ids;
    for (const TMyFile* f : window.ResultPage()->View().ShownFiles)
        ids.insert(id.at(f));
    return ids;
}

std::set<qint64> CliIds(const std::string& image, const QStringList& filter) {
    QProcess dunro;
    dunro.start(QStringLiteral(DUNRO_BIN),
                QStringList{QStringLiteral("scan"), QString::fromStdString(image), QStringLiteral("--format"),
                            QStringLiteral("json")} +
                    filter);
    dunro.waitForFinished(60000);
    std::set<qint64> ids;
    const QJsonArray files = QJsonDocument::fromJson(dunro.readAllStandardOutput()).object().value(QStringLiteral("files")).toArray();
    for (const QJsonValue& f : files)
        ids.insert(f.toObject().value(QStringLiteral("id")).toInteger());
    return ids;
}

void ClickRowBox(gui::TFrm_Result& page, int row) {
    QTest::mouseClick(page.List()->viewport(), Qt::LeftButton, {}, page.List()->CheckZone(row).center());
}

void ClickHeaderBox(gui::TFrm_Result& page) {
    RdCheckHeader* header = page.List()->CheckHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 14, header->height() / 2));
}

void ClickHeader(gui::TFrm_Result& page, int column) {
    QHeaderView* header = page.List()->horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

// Selects a node the way a click does.
void Choose(QTreeWidget& tree, QTreeWidgetItem* node) {
    QVERIFY(node);
    for (QTreeWidgetItem* up = node->parent(); up; up = up->parent())
        up->setExpanded(true);
    tree.scrollToItem(node);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(node).center());
}

} // namespace

class ResultPageTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }

    void EveryCorpusImageShowsItsTreesCountsAndRows() {
        // (truncated.img lists nothing: its scan ends on notice 3, not on this page.)
        for (const char* image : {"ntfs-basic.img", "fat32-basic.img", "ntfs-fragmented.img"}) {
            MainHarness main;
            auto& w = *main.window;
            if (!ScanAndShowResults(w, Corpus(image)))
                QFAIL(image);
            gui::TFrm_Result& page = *w.ResultPage();
            const uint32_t found = w.Progress().FResultCount;
            QVERIFY(page.isVisible());
            QVERIFY(!w.StartPage()->isVisible());
            QCOMPARE(page.ListModel()->rowCount(), int(found));
            QCOMPARE(page.View().ShownFiles.size(), size_t(found));
            QCOMPARE(page.HeaderLabel()->text(), QStringLiteral("Deleted files found: %1 files (%2)")
                                                     .arg(found)
                                                     .arg(QString::fromStdString(volume::SizeText(page.View().ShownSize))));
            // Type tree: the root with every file, the categories that met a
            // file, each with its extensions and their counts.
            QTreeWidgetItem* allTypes = page.Types()->topLevelItem(0);
            QCOMPARE(allTypes->text(0), QStringLiteral("All Types"));
            QCOMPARE(RdCheckTree::CountOf(*allTypes), qint64(found));
            const auto categories = results::TypeTreeOf(w.ScanWorker().Categories);
            QCOMPARE(allTypes->childCount(), int(categories.size()));
            for (int i = 0; i < allTypes->childCount(); ++i) {
                const QTreeWidgetItem& node = *allTypes->child(i);
                QCOMPARE(node.text(0), QString::fromStdString(categories[size_t(i)].Text));
                QCOMPARE(RdCheckTree::CountOf(node), qint64(categories[size_t(i)].Count));
                QCOMPARE(node.childCount(), int(categories[size_t(i)].Extensions.size()));
            }
            QCOMPARE(page.Types()->currentItem(), allTypes);
            // Folder tree: the root, the drive, its folders two levels deep.
            QTreeWidgetItem* allLocations = page.Folders()->topLevelItem(0);
            QCOMPARE(allLocations->text(0), QStringLiteral("All Locations"));
            QCOMPARE(RdCheckTree::CountOf(*allLocations), qint64(found));
            QCOMPARE(allLocations->childCount(), 1);
            QTreeWidgetItem* drive = allLocations->child(0);
            TMyDisk* disk = gui::FolderTree::DiskOf(*drive);
            QVERIFY(disk);
            QCOMPARE(RdCheckTree::CountOf(*drive), qint64(disk->AcceptedCount));
            const auto top = results::SubFoldersForTree(*results::RootFolderOf(*disk));
            QCOMPARE(drive->childCount(), int(top.size()));
            for (int i = 0; i < drive->childCount(); ++i) {
                QTreeWidgetItem* folder = drive->child(i);
                QCOMPARE(folder->text(0), QString::fromStdString(top[size_t(i)]->FolderName));
                QCOMPARE(RdCheckTree::CountOf(*folder), qint64(top[size_t(i)]->FileCount));
                QCOMPARE(folder->childCount(), int(results::SubFoldersForTree(*top[size_t(i)]).size()));
                // One level ahead, no further.
                for (int k = 0; k < folder->childCount(); ++k)
                    QCOMPARE(folder->child(k)->childCount(), 0);
            }
        }
    }

    void OpeningAFolderAddsTheLevelBelowItsChildren() {
        MainHarness main;
        QVERIFY(ScanAndShowResults(*main.window, Corpus("ntfs-basic.img")));
        gui::FolderTree& tree = *main.window->ResultPage()->Folders();
        QTreeWidgetItem* users = Node(tree, QStringLiteral("Users"));
        QVERIFY(users);
        QCOMPARE(ChildTexts(*users), (QStringList{QStringLiteral("Ann"), QStringLiteral("Bob")}));
        QTreeWidgetItem* ann = users->child(0);
        QCOMPARE(ann->childCount(), 0);
        users->setExpanded(true);
        // Ann's folders, sorted by name; Empty Folder found nothing and has no node.
        QCOMPARE(ChildTexts(*ann), (QStringList{QStringLiteral("Documents"), QStringLiteral("Music"),
                                                QStringLiteral("Pictures"), QStringLiteral("Videos")}));
        QCOMPARE(ann->child(2)->childCount(), 0);
        ann->setExpanded(true);
        QCOMPARE(ChildTexts(*ann->child(2)), QStringList{QStringLiteral("Holiday 2019")});
        // Opening again adds nothing twice.
        ann->setExpanded(false);
        ann->setExpanded(true);
        QCOMPARE(ann->childCount(), 4);
        QCOMPARE(ann->child(2)->childCount(), 1);
    }

    void ChoosingAFolderListsEverythingBelowItBestFirst() {
        MainHarness main;
        QVERIFY(ScanAndShowResults(*main.window, Corpus("ntfs-basic.img")));
        gui::TFrm_Result& page = *main.window->ResultPage();
        QTest::mouseClick(page.LocationTab(), Qt::LeftButton);
        QVERIFY(page.Folders()->isVisible());
        QVERIFY(!page.Types()->isVisible());
        QTreeWidgetItem* users = Node(*page.Folders(), QStringLiteral("Users"));
        Choose(*page.Folders(), users);
        QCOMPARE(qint64(page.ListModel()->rowCount()), RdCheckTree::CountOf(*users));
        QVERIFY(Names(page.View().ShownFiles).count("todo.txt"));
        QCOMPARE(page.List()->horizontalHeader()->sortIndicatorSection(), 2);
        QCOMPARE(page.List()->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    }

    void ClickingARowsBoxChecksItAndShowsTheSelectedText() {
        MainHarness main;
        QVERIFY(ScanAndShowResults(*main.window, Corpus("ntfs-basic.img")));
        gui::TFrm_Result& page = *main.window->ResultPage();
        QVERIFY(!page.SelectedLabel()->isVisible());
        TMyFile* first = page.ListModel()->FileAt(0);
        // A press beside the box, on the name, checks nothing.
        const QRect zone = page.List()->CheckZone(0);
        QTest::mouseClick(page.List()->viewport(), Qt::LeftButton, {}, zone.center() + QPoint(60, 0));
        QVERIFY(!first->Checked);
        ClickRowBox(page, 0);
        QVERIFY(first->Checked);
        QCOMPARE(page.View().CheckedCount, 1);
        QVERIFY(page.SelectedLabel()->isVisible());
        QCOMPARE(page.SelectedLabel()->text(), QStringLiteral("Select 1 files (%1)")
                                                   .arg(QString::fromStdString(volume::SizeText(first->FileSize))));
        QCOMPARE(page.SelectedLabel()->geometry().right() + 1, page.RecoverButton()->x() - 20);
        QCOMPARE(page.List()->CheckHeader()->CheckState(), Qt::Unchecked);
        ClickRowBox(page, 0);
        QVERIFY(!first->Checked);
        QVERIFY(!page.SelectedLabel()->isVisible());
        // Checking the last unchecked row sets the header's box: Projects holds one file.
        QTest::mouseClick(page.LocationTab(), Qt::LeftButton);
        Choose(*page.Folders(), Node(*page.Folders(), QStringLiteral("Projects")));
        QCOMPARE(page.ListModel()->rowCount(), 1);
        ClickRowBox(page, 0);
        QCOMPARE(page.List()->CheckHeader()->CheckState(), Qt::Checked);
    }

    void TheHeaderBoxChecksAndUnchecksEveryShownFile() {
        MainHarness main;
        QVERIFY(ScanAndShowResults(*main.window, Corpus("fat32-basic.img")));
        gui::TFrm_Result& page = *main.window->ResultPage();
        Choose(*page.Types(), page.Types()->topLevelItem(0)->child(0));
        const int rows = page.ListModel()->rowCount();
        QVERIFY(rows > 1);
        ClickHeaderBox(page);
        QCOMPARE(page.View().CheckedCount, rows);
        QCOMPARE(page.List()->CheckHeader()->CheckState(), Qt::Checked);
        for (int row = 0; row < rows; ++row)
            QCOMPARE(page.ListModel()->index(row, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(page.SelectedLabel()->isVisible());
        ClickHeaderBox(page);
        QCOMPARE(page.View().CheckedCount, 0);
        QVERIFY(!page.SelectedLabel()->isVisible());
        // Any view change clears the marks: check all, then choose another node.
        ClickHeaderBox(page);
        Choose(*page.Types(), page.Types()->topLevelItem(0));
        QCOMPARE(page.View().CheckedCount, 0);
        QCOMPARE(page.List()->CheckHeader()->CheckState(), Qt::Unchecked);
    }

    void TypingIntoTheSearchBoxSearchesAllFiles100msAfterTheLastKey() {
        MainHarness main;
        QVERIFY(ScanAndShowResults(*main.window, Corpus("ntfs-basic.img")));
        gui::TFrm_Result& page = *main.window->ResultPage();
        gui::SearchBox& search = *page.Search();
        QCOMPARE(search.Edit()->text(), QStringLiteral("Search files"));
        QVERIFY(search.Magnifier()->isVisible());
        // A folder chosen first: the search still looks at every file, and the tree keeps its choice.
        QTest::mouseClick(page.LocationTab(), Qt::LeftButton);
        QTreeWidgetItem* misc = Node(*page.Folders(), QStringLiteral("Misc"));
        Choose(*page.Folders(), misc);
        QTest::mouseClick(search.Edit(), Qt::LeftButton);
        QVERIFY(page.SearchActive());
        QVERIFY(!search.Magnifier()->isVisible());
        QCOMPARE(search.Edit()->text(), QString());
        QTest::keyClicks(search.Edit(), QStringLiteral("JPG"));
        QCOMPARE(Names(page.View().ShownFiles).count("beach.jpg"), size_t(0));  // not yet
        QTRY_COMPARE_WITH_TIMEOUT(Names(page.View().ShownFiles),
                                  (std::set<std::string>{"beach.jpg", "Plage à Nice.jpg"}), 1000);
        QCOMPARE(page.Folders()->currentItem(), misc);
        QVERIFY(search.ClearButton()->isVisible());
        // The clear button goes back to the folder that is chosen.
        QTest::mouseClick(search.ClearButton(), Qt::LeftButton);
        QCOMPARE(qint64(page.ListModel()->rowCount()), RdCheckTree::CountOf(*misc));
        QCOMPARE(search.Edit()->text(), QStringLiteral("Search files"));
        QVERIFY(!page.SearchActive());
    }

    void TheSearchBoxTakesItsIdleAndActiveLooks() {
        MainHarness main;
        QVERIFY(ScanAndShowResults(*main.window, Corpus("ntfs-basic.img")));
        gui::TFrm_Result& page = *main.window->ResultPage();
        gui::SearchBox& search = *page.Search();
        QLineEdit& edit = *search.Edit();
        // Idle: the magnifier, the box beside it holding the placeholder, dimmed.
        QVERIFY(search.Magnifier()->isVisible());
        QCOMPARE(edit.geometry().x(), 30);
        QCOMPARE(edit.width(), 205);
        QCOMPARE(edit.text(), QStringLiteral("Search files"));
        QVERIFY(edit.palette().color(QPalette::Text) != page.palette().color(QPalette::Text));
        // A click on the magnifier: active, empty, over the magnifier's place.
        QTest::mouseClick(search.Magnifier(), Qt::LeftButton);
        QVERIFY(page.SearchActive());
        QVERIFY(!search.Magnifier()->isVisible());
        QCOMPARE(edit.geometry().x(), 9);
        QCOMPARE(edit.width(), 201);
        QCOMPARE(edit.text(), QString());
        QVERIFY(edit.hasFocus());
        // Leaving an empty box: idle again, the placeholder back.
        page.List()->setFocus();
        QVERIFY(!edit.hasFocus());
        QCOMPARE(edit.text(), QStringLiteral("Search files"));
        QVERIFY(search.Magnifier()->isVisible());
        // Leaving a box that holds a search keeps it, active, the caret at its end.
        QTest::mouseClick(&edit, Qt::LeftButton);
        QTest::keyClicks(&edit, QStringLiteral("note"));
        edit.setCursorPosition(0);
        page.List()->setFocus();
        QCOMPARE(edit.text(), QStringLiteral("note"));
        QVERIFY(!search.Magnifier()->isVisible());
        QCOMPARE(edit.cursorPosition(), 4);
        // A click on the list ends the search's use: typing then waits for a click into the box.
        QTest::mouseClick(page.List()->viewport(), Qt::LeftButton, {}, QPoint(300, 40));
        QVERIFY(!page.SearchActive());
        QCOMPARE(edit.text(), QStringLiteral("note"));
    }

    void ChoosingATypeNodePutsThePlaceholderBackAndFilters() {
        MainHarness main;
        QVERIFY(ScanAndShowResults(*main.window, Corpus("ntfs-basic.img")));
        gui::TFrm_Result& page = *main.window->ResultPage();
        QTreeWidgetItem* documents = Node(*page.Types(), QStringLiteral("Documents"));
        Choose(*page.Types(), documents);
        QCOMPARE(qint64(page.ListModel()->rowCount()), RdCheckTree::CountOf(*documents));
        QCOMPARE(page.Search()->Edit()->text(), QStringLiteral("Search files"));
        QVERIFY(page.SearchActive());
        documents->setExpanded(true);
        QTreeWidgetItem* txt = Node(*page.Types(), QStringLiteral(".txt"));
        Choose(*page.Types(), txt);
        QCOMPARE(qint64(page.ListModel()->rowCount()), RdCheckTree::CountOf(*txt));
        for (const TMyFile* f : page.View().ShownFiles)
            QCOMPARE(QString::fromStdString(f->Extension).toLower(), QStringLiteral(".txt"));
    }

    void AHeaderClickSortsAndASecondReverses() {
        MainHarness main;
        QVERIFY(ScanAndShowResults(*main.window, Corpus("ntfs-basic.img")));
        gui::TFrm_Result& page = *main.window->ResultPage();
        auto sizes = [&] {
            std::vector<int64_t> s;
            for (const TMyFile* f : page.View().ShownFiles)
                s.push_back(f->FileSize);
            return s;
        };
        ClickHeader(page, 3);
        QCOMPARE(page.List()->horizontalHeader()->sortIndicatorSection(), 3);
        const Qt::SortOrder order = page.List()->horizontalHeader()->sortIndicatorOrder();
        auto once = sizes();
        QVERIFY(order == Qt::AscendingOrder ? std::is_sorted(once.begin(), once.end())
                                            : std::is_sorted(once.rbegin(), once.rend()));
        ClickHeader(page, 3);
        QVERIFY(page.List()->horizontalHeader()->sortIndicatorOrder() != order);
        auto twice = sizes();
        std::reverse(twice.begin(), twice.end());
        QCOMPARE(once, twice);
        // The header's check box is no sort.
        ClickHeaderBox(page);
        QCOMPARE(page.List()->horizontalHeader()->sortIndicatorSection(), 3);
    }

    void BackWithResultsAsksQuestion5() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img")));
        gui::TFrm_Result& page = *w.ResultPage();
        RdImgButton* back = page.BackButton();
        const QPoint beside(back->width() - 12, back->height() / 2);
        QVERIFY(!page.BackArrowRect().contains(beside));
        // NO: the page stays, with its results.
        QTest::mouseClick(back, Qt::LeftButton, {}, beside);
        Settle();
        QVERIFY(w.Dimmed());
        QVERIFY(w.QuestionBox()->isVisible());
        QCOMPARE(w.QuestionBox()->Kind(), gui::Question::BackLeavingResults);
        QTest::mouseClick(w.QuestionBox()->OtherButton(), Qt::LeftButton);
        Settle();
        QVERIFY(!w.QuestionBox()->isVisible());
        QVERIFY(!w.Dimmed());
        QVERIFY(page.isVisible());
        QVERIFY(page.ListModel()->rowCount() > 0);
        QVERIFY(!main.log->Has(gui::Msg::BackToStart));
        // YES: back to the start page, and the page forgets the records.
        QTest::mouseClick(back, Qt::LeftButton, {}, beside);
        Settle();
        QTest::mouseClick(w.QuestionBox()->DefaultButton(), Qt::LeftButton);
        Settle();
        QCOMPARE(main.log->Of(gui::Msg::LeaveResults).size(), 2);
        QCOMPARE(main.log->Of(gui::Msg::LeaveResults).last().target, gui::HubTarget::ResultPage);
        QVERIFY(main.log->Has(gui::Msg::BackToStart));
        QVERIFY(w.StartPage()->isVisible());
        QVERIFY(!page.isVisible());
        QVERIFY(!w.Dimmed());
        QCOMPARE(page.ListModel()->rowCount(), 0);
        QCOMPARE(page.Folders()->topLevelItemCount(), 0);
        QCOMPARE(main.processEnds, 0);
    }

    void BackOnItsArrowLeavesAtOnce() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img")));
        gui::TFrm_Result& page = *w.ResultPage();
        QTest::mouseClick(page.BackButton(), Qt::LeftButton, {}, page.BackArrowRect().center());
        Settle();
        QVERIFY(!w.QuestionBox()->isVisible());
        QVERIFY(!w.Dimmed());
        QVERIFY(w.StartPage()->isVisible());
        QCOMPARE(page.ListModel()->rowCount(), 0);
    }

    void BackWithoutResultsLeavesWithoutAsking() {
        MainHarness main;
        auto& w = *main.window;
        w.Hub().Send(gui::Msg::PreviewClosed);  // the page, with no scan behind it
        QVERIFY(w.ResultPage()->isVisible());
        QTest::keyClick(w.ResultPage()->BackButton(), Qt::Key_Space);
        Settle();
        QVERIFY(!w.QuestionBox()->isVisible());
        QVERIFY(main.log->Has(gui::Msg::BackToStart));
        QVERIFY(w.StartPage()->isVisible());
    }

    void RecoverWithNothingCheckedShowsNotice4AndWithFilesAsksForADestination() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img")));
        gui::TFrm_Result& page = *w.ResultPage();
        QTest::mouseClick(page.RecoverButton(), Qt::LeftButton);
        Settle();
        QVERIFY(main.log->Has(gui::Msg::RecoverRequest));
        QVERIFY(main.log->Has(gui::Msg::NothingToRecover));
        QVERIFY(!main.log->Has(gui::Msg::ChooseDestination));
        QVERIFY(w.NoticeBox()->isVisible());
        QCOMPARE(w.NoticeBox()->Kind(), gui::Notice::NothingChecked);
        QTest::mouseClick(w.NoticeBox()->DefaultButton(), Qt::LeftButton);
        Settle();
        QVERIFY(!w.Dimmed());
        main.log->Clear();
        ClickRowBox(page, 1);
        QTest::mouseClick(page.RecoverButton(), Qt::LeftButton);
        Settle();
        QVERIFY(main.log->Has(gui::Msg::ChooseDestination));
        QVERIFY(!main.log->Has(gui::Msg::NothingToRecover));
        QVERIFY(!w.NoticeBox()->isVisible());
    }

    void KeysSpaceCtrlACtrlFAndArrows() {
        MainHarness main;
        QVERIFY(ScanAndShowResults(*main.window, Corpus("ntfs-basic.img")));
        gui::TFrm_Result& page = *main.window->ResultPage();
        gui::ResultList& list = *page.List();
        list.setFocus();
        list.setCurrentIndex(page.ListModel()->index(0, 1));
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(list.currentIndex().row(), 1);
        QTest::keyClick(&list, Qt::Key_Space);
        QVERIFY(page.ListModel()->FileAt(1)->Checked);
        QTest::keyClick(&list, Qt::Key_Space);
        QVERIFY(!page.ListModel()->FileAt(1)->Checked);
        QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(size_t(page.View().CheckedCount), page.View().ShownFiles.size());
        QCOMPARE(list.CheckHeader()->CheckState(), Qt::Checked);
        QTest::keyClick(&list, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(page.Search()->Edit()->hasFocus());
        QVERIFY(page.SearchActive());
        QVERIFY(page.Search()->Active());
        // Arrows move in the trees too, and a new node is a new view.
        page.Types()->setFocus();
        page.Types()->setCurrentItem(page.Types()->topLevelItem(0));
        QTest::keyClick(page.Types(), Qt::Key_Down);
        QCOMPARE(page.Types()->currentItem(), page.Types()->topLevelItem(0)->child(0));
        QCOMPARE(qint64(page.ListModel()->rowCount()), RdCheckTree::CountOf(*page.Types()->currentItem()));
        QCOMPARE(page.View().CheckedCount, 0);
        // Enter on a row that can be previewed asks for its preview.
        QList<TMyFile*> previews;
        connect(&page, &gui::TFrm_Result::PreviewRequested, this, [&previews](TMyFile* f) { previews << f; });
        list.setFocus();
        for (int row = 0; row < page.ListModel()->rowCount(); ++row) {
            if (page.ListModel()->FileAt(row)->PreviewKind != 0) {
                list.setCurrentIndex(page.ListModel()->index(row, 0));
                QTest::keyClick(&list, Qt::Key_Return);
                QCOMPARE(previews.size(), 1);
                QCOMPARE(previews.first(), page.ListModel()->FileAt(row));
                break;
            }
        }
        QCOMPARE(previews.size(), 1);
        // A row without a preview asks for none.
        for (int row = 0; row < page.ListModel()->rowCount(); ++row) {
            if (page.ListModel()->FileAt(row)->PreviewKind == 0) {
                list.setCurrentIndex(page.ListModel()->index(row, 0));
                QTest::keyClick(&list, Qt::Key_Return);
                break;
            }
        }
        QCOMPARE(previews.size(), 1);
    }

    void RowsTellScreenReadersTheirNamesAndCheckState() {
        MainHarness main;
        QVERIFY(ScanAndShowResults(*main.window, Corpus("ntfs-basic.img")));
        gui::TFrm_Result& page = *main.window->ResultPage();
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(page.List());
        QCOMPARE(list->role(), QAccessible::Table);
        QCOMPARE(list->text(QAccessible::Name), QStringLiteral("Found files"));
        QAccessibleTableInterface* table = list->tableInterface();
        QVERIFY(table);
        QCOMPARE(table->rowCount(), page.ListModel()->rowCount());
        QAccessibleInterface* cell = table->cellAt(0, 0);
        QCOMPARE(cell->text(QAccessible::Name), QString::fromStdString(page.ListModel()->FileAt(0)->FileName));
        QVERIFY(cell->state().checkable);
        QVERIFY(!cell->state().checked);
        ClickRowBox(page, 0);
        QVERIFY(table->cellAt(0, 0)->state().checked);
        QCOMPARE(table->columnDescription(0), QStringLiteral("File Name"));
        for (QTreeWidget* tree : {static_cast<QTreeWidget*>(page.Types()), static_cast<QTreeWidget*>(page.Folders())}) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(tree);
            QCOMPARE(a->role(), QAccessible::Tree);
            QVERIFY(!a->text(QAccessible::Name).isEmpty());
        }
        for (QWidget* control : std::initializer_list<QWidget*>{page.BackButton(), page.RecoverButton(), page.TypeTab(),
                                                                 page.LocationTab(), page.Search()->Edit(),
                                                                 page.Search()->Magnifier(), page.Search()->ClearButton()})
            QVERIFY(!QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty());
    }

    void TabWalksThePageInReadingOrder() {
        MainHarness main;
        QVERIFY(ScanAndShowResults(*main.window, Corpus("ntfs-basic.img")));
        gui::TFrm_Result& page = *main.window->ResultPage();
        page.BackButton()->setFocus();
        QList<QWidget*> seen;
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen << QApplication::focusWidget();
        }
        const int search = int(seen.indexOf(page.Search()->Edit()));
        const int types = int(seen.indexOf(page.TypeTab()));
        const int tree = int(seen.indexOf(page.Types()));
        const int list = int(seen.indexOf(page.List()));
        const int recover = int(seen.indexOf(page.RecoverButton()));
        QVERIFY(search >= 0 && types > search && tree > types && list > tree && recover > list);
    }

    void AStoppedScanStillShowsTheFoldersOfWhatItListed() {
        // The user stopped the scan during its listing: what was listed is
        // shown, and the folder tree shows its folders.
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img")));
        w.Progress().FScanCancelled = true;
        w.ResultPage()->LoadResults();
        QTreeWidgetItem* root = w.ResultPage()->Folders()->topLevelItem(0);
        QVERIFY(root && root->childCount() == 1);
        QVERIFY(root->child(0)->childCount() > 0);
        QVERIFY(Node(*w.ResultPage()->Folders(), QStringLiteral("Ann")));
        w.Progress().FScanCancelled = false;
    }

    void LoadingTheSameResultTwiceBuildsTheSameFolderTree() {
        // The end of a scan may be handled twice (the timer and the stop message).
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img")));
        QTreeWidgetItem* drive = w.ResultPage()->Folders()->topLevelItem(0)->child(0);
        const QStringList first = ChildTexts(*drive);
        QVERIFY(!first.isEmpty());
        w.ResultPage()->LoadResults();
        drive = w.ResultPage()->Folders()->topLevelItem(0)->child(0);
        QCOMPARE(ChildTexts(*drive), first);
        QVERIFY(Node(*w.ResultPage()->Folders(), QStringLiteral("Ann")));
    }

    // The window and `dunro scan` list the same files for the same filter.
    void TheWindowAndTheCommandLineAgreeOnANameSearch() {
        for (const char* image : {"ntfs-basic.img", "fat32-basic.img"}) {
            MainHarness main;
            QVERIFY(ScanAndShowResults(*main.window, Corpus(image)));
            gui::TFrm_Result& page = *main.window->ResultPage();
            QTest::mouseClick(page.Search()->Edit(), Qt::LeftButton);
            QTest::keyClicks(page.Search()->Edit(), QStringLiteral("e."));
            QTRY_VERIFY_WITH_TIMEOUT(page.View().AppliedSearch && page.View().AppliedSearch->Text == "e.", 1000);
            const auto shown = ShownIds(*main.window);
            QVERIFY(!shown.empty());
            QCOMPARE(shown, CliIds(Corpus(image), {QStringLiteral("--name"), QStringLiteral("e.")}));
        }
    }

    void TheWindowAndTheCommandLineAgreeOnAnExtension() {
        for (const char* image : {"ntfs-basic.img", "fat32-basic.img"}) {
            MainHarness main;
            QVERIFY(ScanAndShowResults(*main.window, Corpus(image)));
            gui::TFrm_Result& page = *main.window->ResultPage();
            QTreeWidgetItem* documents = Node(*page.Types(), QStringLiteral("Documents"));
            QVERIFY(documents);
            QTreeWidgetItem* txt = nullptr;
            for (int i = 0; i < documents->childCount(); ++i)
                if (documents->child(i)->text(0).compare(QStringLiteral(".txt"), Qt::CaseInsensitive) == 0)
                    txt = documents->child(i);
            QVERIFY(txt);
            documents->setExpanded(true);
            Choose(*page.Types(), txt);
            QCOMPARE(ShownIds(*main.window), CliIds(Corpus(image), {QStringLiteral("--ext"), QStringLiteral(".TXT")}));
        }
    }

    void TheWindowAndTheCommandLineAgreeOnAType() {
        const char* options[] = {"photos", "videos", "music", "documents", "archives", "others"};
        for (const char* image : {"ntfs-basic.img", "fat32-basic.img"}) {
            MainHarness main;
            QVERIFY(ScanAndShowResults(*main.window, Corpus(image)));
            gui::TFrm_Result& page = *main.window->ResultPage();
            QTreeWidgetItem* root = page.Types()->topLevelItem(0);
            for (int i = 0; i < root->childCount(); ++i) {
                QTreeWidgetItem* category = root->child(i);
                Choose(*page.Types(), category);
                const int index = gui::TypeTree::CategoryIndex(*category);
                QCOMPARE(ShownIds(*main.window),
                         CliIds(Corpus(image), {QStringLiteral("--types"), QString::fromLatin1(options[index])}));
            }
        }
    }

    void TheWindowAndTheCommandLineAgreeOnAFolder() {
        const std::pair<const char*, const char*> cases[] = {
            {"ntfs-basic.img", "Users/Ann"}, {"ntfs-basic.img", "Users"}, {"fat32-basic.img", "Old Stuff"}};
        for (const auto& [image, path] : cases) {
            MainHarness main;
            QVERIFY(ScanAndShowResults(*main.window, Corpus(image)));
            gui::TFrm_Result& page = *main.window->ResultPage();
            QTest::mouseClick(page.LocationTab(), Qt::LeftButton);
            QTreeWidgetItem* node = page.Folders()->topLevelItem(0)->child(0);
            for (const QString& name : QString::fromLatin1(path).split(QLatin1Char('/'))) {
                node->setExpanded(true);
                QTreeWidgetItem* next = nullptr;
                for (int i = 0; i < node->childCount(); ++i)
                    if (node->child(i)->text(0) == name)
                        next = node->child(i);
                QVERIFY2(next, path);
                node = next;
            }
            Choose(*page.Folders(), node);
            const auto shown = ShownIds(*main.window);
            QVERIFY(!shown.empty());
            QCOMPARE(shown, CliIds(Corpus(image), {QStringLiteral("--folder"), QString::fromLatin1(path)}));
        }
    }

    void ThePageSpeaksGerman() {
        WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("Language=Deutsch")});
        {
            MainHarness main;
            QVERIFY(ScanAndShowResults(*main.window, Corpus("ntfs-basic.img")));
            gui::TFrm_Result& page = *main.window->ResultPage();
            QCOMPARE(page.TypeTab()->text(), QStringLiteral("Dateitypen"));
            QCOMPARE(page.Types()->topLevelItem(0)->text(0), QStringLiteral("Alle Typen"));
            QCOMPARE(page.Folders()->topLevelItem(0)->text(0), QStringLiteral("Alle Orte"));
            QCOMPARE(page.Search()->Edit()->text(), QStringLiteral("Dateien suchen"));
            QVERIFY(page.HeaderLabel()->text().startsWith(QStringLiteral("Gefundene gelöschte Dateien: ")));
            QCOMPARE(page.ListModel()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Dateiname"));
            ClickRowBox(page, 0);
            QVERIFY(page.SelectedLabel()->text().contains(QStringLiteral("ausgewählt")));
        }
        WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("Language=English")});
    }
};

QTEST_MAIN(ResultPageTest)
#include "result_page_test.moc"
