// Renders every window and box of the program offscreen into PNG files, in
// English and in German: dunro_gui_screenshots FOLDER IMAGE [RESULT_IMAGE [CARD_IMAGE [DISK_IMAGE]]].
// IMAGE is offered as a drive on the start page; the result page shows a
// scan of RESULT_IMAGE (else of IMAGE) run from the window as a user runs it;
// with CARD_IMAGE, a memory card's volume scanned the same way. DISK_IMAGE,
// a whole disk, is added as the user adds one: its partitions become drives
// of the start page.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QScreen>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <functional>

#include "gui/app/image_search_controller.h"
#include "gui/app/main_window.h"
#include "gui/app/prompt_box.h"
#include "gui/common/texts.h"
#include "gui/preview/hover_previews.h"
#include "gui/preview/preview_pane.h"
#include "gui/preview/preview_window.h"
#include "gui/recover/desktop_shell.h"
#include "gui/recover/recover_progress.h"
#include "gui/results/result_list.h"
#include "gui/results/result_list_model.h"
#include "gui/results/result_page.h"
#include "gui/results/result_trees.h"
#include "gui/results/search_box.h"
#include "gui/settings/about_window.h"
#include "gui/settings/settings_window.h"
#include "gui/start/image_search_window.h"
#include "gui/start/location_chooser.h"
#include "gui/start/location_list.h"
#include "gui/start/scan_dial.h"
#include "gui/start/start_page.h"
#include "gui/widgets/check_box.h"
#include "gui/widgets/check_list.h"
#include "gui/widgets/check_tree.h"
#include "gui/widgets/hint_balloon.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/progress_bar.h"
#include "gui/widgets/report_list.h"
#include "gui/widgets/skin_label.h"
#include "gui/widgets/skin.h"
#include "recover/recover_worker.h"
#include "scan/progress.h"
#include "scan/scan_worker.h"

namespace {

void Settle() {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// The main window with a floating window drawn where it stands over it.
QImage Composite(QWidget& main, QWidget* over) {
    Settle();
    QImage image = main.grab().toImage();
    if (over && over->isVisible()) {
        QPainter p(&image);
        const QPoint at = over->frameGeometry().topLeft() - main.frameGeometry().topLeft();
        // A shaped window (the hover pane with its pointer) shows only its shape.
        if (!over->mask().isEmpty())
            p.setClipRegion(over->mask().translated(at));
        p.drawPixmap(at, over->grab());
    }
    return image;
}

bool Save(const QImage& image, const QString& folder, const QString& name) {
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// Lets events run until `done` holds or `ms` have passed.
bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return done();
}

bool WriteFile(const QString& path, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return true;
}

// The first item of `tree` (depth first) whose text is `text`.
QTreeWidgetItem* ItemNamed(QTreeWidget& tree, const QString& text) {
    const auto found = tree.findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

// Offers `image` as a drive, chooses it alone and every type, presses SCAN
// and waits for the end of the scan to show the result page.
bool ScanFromWindow(gui::TFram_UndeleteMain& main, const QString& image) {
    gui::TFrm_Choose& start = *main.StartPage();
    gui::Tfrm_Choose_Location& chooser = *start.Chooser();
    chooser.AddVolumeImage(image);
    if (!QTest::qWaitFor([&chooser] { return !chooser.ImagesPending(); }, 30000))
        return false;
    RdCheckBox* all = chooser.CheckAllBox();
    if (!all->isChecked())
        QTest::mouseClick(all, Qt::LeftButton);  // everything on ...
    QTest::mouseClick(all, Qt::LeftButton);      // ... and off
    gui::RdLocationList& list = *chooser.List();
    for (int i = 0; i < list.count(); ++i) {
        QListWidgetItem* item = list.item(i);
        if (item->data(gui::kDriveRole).toString() != image)
            continue;
        list.scrollToItem(item);
        const QRect r = list.visualItemRect(item);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(r.left() + r.width() / 3, r.center().y()));
    }
    if (!start.MasterToggle()->isChecked())
        QTest::mouseClick(start.MasterToggle(), Qt::LeftButton);
    QTest::mouseClick(start.ScanButton(), Qt::LeftButton);
    return WaitFor([&main] { return main.ResultPage()->isVisible(); }, 120000);
}

// The result page with the type tree, with the folder tree opened two
// levels, and with a search applied and some rows checked.
bool RenderResults(gui::TFram_UndeleteMain& main, const QString& image, const QString& folder, const QString& suffix) {
    if (!ScanFromWindow(main, image)) {
        std::fprintf(stderr, "a scan of %s from the window did not reach the result page\n", qPrintable(image));
        return false;
    }
    Settle();
    gui::TFrm_Result& page = *main.ResultPage();
    bool ok = true;
    QTreeWidgetItem* photos = page.Types()->topLevelItem(0)->child(0);
    photos->setExpanded(true);
    page.Types()->setCurrentItem(photos);
    page.List()->setFocus();
    ok &= Save(Composite(main, nullptr), folder, QStringLiteral("result-types") + suffix);

    QTest::mouseClick(page.LocationTab(), Qt::LeftButton);
    QTreeWidgetItem* drive = page.Folders()->topLevelItem(0)->child(0);
    drive->setExpanded(true);
    QTreeWidgetItem* users = ItemNamed(*page.Folders(), QStringLiteral("Users"));
    if (users) {
        users->setExpanded(true);
        page.Folders()->setCurrentItem(users);
    }
    page.Folders()->setFocus();
    ok &= Save(Composite(main, nullptr), folder, QStringLiteral("result-folders") + suffix);

    QTest::mouseClick(page.Search()->Edit(), Qt::LeftButton);
    QTest::keyClicks(page.Search()->Edit(), QStringLiteral("a"));
    QTest::qWait(150);
    Settle();
    for (int row : {0, 2, 3})
        QTest::mouseClick(page.List()->viewport(), Qt::LeftButton, {}, page.List()->CheckZone(row).center());
    ok &= Save(Composite(main, nullptr), folder, QStringLiteral("result-search") + suffix);
    return ok;
}

// Waits until a preview surface has taken its worker's result.
void WaitForPreview(gui::PreviewSurface& surface) {
    for (int i = 0; i < 500 && !surface.Finished(); ++i)
        QTest::qWait(10);
    Settle();
}

// The row of the found file named `name`, scrolled into view with every file listed.
int RowNamed(gui::TFrm_Result& page, const char* name) {
    if (!page.TypeTabInFront())
        QTest::mouseClick(page.TypeTab(), Qt::LeftButton);
    page.Types()->setCurrentItem(page.Types()->topLevelItem(0));
    page.List()->setFocus();
    Settle();
    const auto& shown = page.View().ShownFiles;
    for (size_t row = 0; row < shown.size(); ++row)
        if (shown[row]->FileName == name) {
            page.List()->scrollTo(page.ListModel()->index(int(row), 0), QAbstractItemView::PositionAtCenter);
            Settle();
            return int(row);
        }
    return -1;
}

// The hover pane over a picture; the large window with a picture, with a
// Word document, and saying "No Preview Available" (the busy window).
bool RenderPreviews(gui::TFram_UndeleteMain& main, const QString& folder, const QString& suffix) {
    gui::TFrm_Result& page = *main.ResultPage();
    bool ok = true;
    const int beach = RowNamed(page, "beach.jpg");
    const int report = RowNamed(page, "report.docx");
    if (beach < 0 || report < 0) {
        std::fprintf(stderr, "no beach.jpg or report.docx in the scan\n");
        return false;
    }
    RowNamed(page, "beach.jpg");
    // From the row's name onto its button: the mouse must arrive somewhere new.
    const QPoint button = page.List()->PreviewButton(beach).center();
    QTest::mouseMove(page.List()->viewport(), QPoint(40, button.y()));
    QTest::mouseMove(page.List()->viewport(), button);
    // On an X display the server moves the pointer: its events come a moment later.
    WaitFor([&page] { return !page.Hover()->Panes().empty(); }, 3000);
    if (page.Hover()->Panes().empty()) {
        std::fprintf(stderr, "no hover pane\n");
        return false;
    }
    gui::TFrm_Preview_Small* pane = page.Hover()->Panes().front();
    WaitForPreview(*pane);
    ok &= Save(Composite(main, pane), folder, QStringLiteral("preview-pane") + suffix);
    page.Hover()->ClosePanes();

    main.OpenPreview(page.View().ShownFiles[size_t(beach)]);
    WaitForPreview(*main.PicturePreview());
    ok &= Save(Composite(main, main.PicturePreview()), folder, QStringLiteral("preview-picture") + suffix);
    main.PicturePreview()->Close();

    main.OpenPreview(page.View().ShownFiles[size_t(report)]);
    WaitForPreview(*main.DocumentPreview());
    ok &= Save(Composite(main, main.DocumentPreview()), folder, QStringLiteral("preview-document") + suffix);
    main.DocumentPreview()->Close();

    main.BusyPreview()->Open(nullptr);
    ok &= Save(Composite(main, nullptr), folder, QStringLiteral("preview-none") + suffix);
    main.BusyPreview()->Close();
    Settle();
    return ok;
}

// The folder dialog answered with one folder, and a file browser that opens nothing.
class FixedFolder : public gui::FolderChooser {
public:
    explicit FixedFolder(QString folder) : folder_(std::move(folder)) {}
    std::optional<QString> Choose(QWidget*, const QString&, const QString&) override { return folder_; }

private:
    QString folder_;
};
class NoBrowser : public gui::FolderOpener {
public:
    bool Open(const QUrl&) override { return true; }
};

// Checks the first five shown files whose data is whole, through their rows' boxes.
void CheckFiveWholeFiles(gui::TFrm_Result& page) {
    const auto& shown = page.View().ShownFiles;
    int checked = 0;
    for (size_t row = 0; row < shown.size() && checked < 5; ++row) {
        const TMyFile& f = *shown[row];
        if (f.FileSize <= 0 || f.State != kStateExcellent || f.Encrypted)
            continue;
        const QModelIndex index = page.ListModel()->index(static_cast<int>(row), 0);
        page.List()->scrollTo(index);
        QTest::mouseClick(page.List()->viewport(), Qt::LeftButton, {}, page.List()->CheckZone(index.row()).center());
        ++checked;
    }
    page.List()->scrollToTop();
}

// The recovery over the result page: the progress window running, after a
// real job into a fresh folder, after a job that failed in part, after one
// that ended on an error, and notices 6 and 7 for the checked files.
bool RenderRecovery(gui::TFram_UndeleteMain& main, const QString& folder, const QString& suffix) {
    gui::TFrm_Result& page = *main.ResultPage();
    gui::Tfrm_RecoverProgress& progress = *main.RecoverProgress();
    TUnDeleteProgress& record = main.Progress();
    bool ok = true;
    page.UncheckAllShown();
    CheckFiveWholeFiles(page);

    // Running: two fifths done, the line at two dots.
    main.RecoverWorker().PrepareJob(main.ScanWorker().AllFiles);
    record.FRecoverFiles = static_cast<uint32_t>(main.RecoverWorker().Jobs.size());
    record.FUnitsDone = record.FUnitsTotal * 2 / 5;
    qint64 now = 0;
    progress.SetClock([&now] { return now; });
    main.Dim();
    progress.ShowRunning();
    now = 1500;
    progress.Refresh();
    progress.Refresh();
    ok &= Save(Composite(main, &progress), folder, QStringLiteral("recover-running") + suffix);
    progress.hide();
    main.Undim();

    // Success: the same files recovered for real.
    QTemporaryDir target;
    main.SetFolderChooser(std::make_unique<FixedFolder>(target.path()));
    main.SetFolderOpener(std::make_unique<NoBrowser>());
    QTest::mouseClick(page.RecoverButton(), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return progress.Finished(); }, 60000)) {
        std::fprintf(stderr, "the recovery did not end\n");
        return false;
    }
    ok &= Save(Composite(main, &progress), folder, QStringLiteral("recover-success") + suffix);
    QTest::mouseClick(progress.OkButton(), Qt::LeftButton);
    Settle();

    // Failure: 3 of 5 recovered after all were attempted.
    record.FRecoverFiles = 5;
    record.FRecoverAttempted = 5;
    record.FRecoverSucceeded = 3;
    main.Dim();
    progress.ShowFinished();
    ok &= Save(Composite(main, &progress), folder, QStringLiteral("recover-failure") + suffix);
    progress.hide();
    main.Undim();

    // An error that ended the job after the third of five files, with its reason.
    record.FRecoverAttempted = 3;
    record.FRecoverSucceeded = 2;
    record.FRecoverFailed = true;
    main.RecoverWorker().FailureText = "memory ran out";
    main.Dim();
    progress.ShowFinished();
    ok &= Save(Composite(main, &progress), folder, QStringLiteral("recover-error") + suffix);
    progress.hide();
    main.Undim();
    record.FRecoverFailed = false;
    main.RecoverWorker().FailureText.clear();

    CheckFiveWholeFiles(page);
    main.RecoverWorker().PrepareJob(main.ScanWorker().AllFiles);
    for (int kind : {6, 7}) {
        main.ShowNotice(gui::Notice(kind));
        ok &= Save(Composite(main, main.NoticeBox()), folder, QStringLiteral("recover-notice-%1").arg(kind) + suffix);
        main.NoticeBox()->hide();
        main.Undim();
    }
    return ok;
}

// `image` is offered as a drive; `outside` is a folder on a volume that
// cannot be scanned (the machine's own file system), to show how the chooser
// tells so; the result page shows a scan of `resultImage`.
// The settings of each language's pictures in a folder of their own, never
// the user's: the configuration folder, APPDATA on Windows.
void UseConfigFolder(const QString& path) {
#ifdef Q_OS_WIN
    qputenv("APPDATA", QDir::toNativeSeparators(path).toUtf8());
#else
    qputenv("XDG_CONFIG_HOME", path.toUtf8());
#endif
}

bool RenderLanguage(const QString& folder, const QString& language, const QString& suffix, const QString& image,
                    const QString& resultImage, const QString& outside, const QString& diskImage) {
    QTemporaryDir config;
    UseConfigFolder(config.path());
    const QString data = config.path() + QStringLiteral("/Dunro Data Recovery/");
    QDir(config.path()).mkpath(QStringLiteral("Dunro Data Recovery"));
    if (!WriteFile(data + QStringLiteral("Main.ini"), QStringLiteral("[Main]\r\nLanguage=%1\r\nScanTips=1\r\n").arg(language)) ||
        !WriteFile(data + QStringLiteral("FileList.ini"), QStringLiteral("[Files]\r\n0=%1\r\n").arg(outside)))
        return false;

    bool ok = true;
    gui::TFram_UndeleteMain main;
    main.SetProcessEnd([] {});
    main.AddVolumeImages({image});
    main.move(0, 0);
    main.show();
    gui::TFrm_Choose& start = *main.StartPage();
    // The chooser waits for the drives behind its loading panel.
    WaitFor([&start] { return start.Chooser()->LoadingPanel()->isVisible(); }, 2000);
    ok &= Save(Composite(main, nullptr), folder, QStringLiteral("start-loading") + suffix);
    if (!WaitFor([&start] { return start.Chooser()->DriveListReady(); }, 30000)) {
        std::fprintf(stderr, "the drive list did not fill\n");
        return false;
    }
    ok &= Save(Composite(main, nullptr), folder, QStringLiteral("main") + suffix);

    // A scan part-way through its listing.
    main.Progress().FListedCount = 1873;
    start.PrepareForScanning(true);
    start.ShowScanProgress(62);
    ok &= Save(Composite(main, nullptr), folder, QStringLiteral("start-scanning") + suffix);
    start.Reset();
    main.Progress().FListedCount = 0;
    // The texts that name a job: 1.5 MB to recover, the fourth of ten files under way.
    main.RecoverWorker().JobBytes = 1'572'864;
    main.Progress().FRecoverFiles = 10;
    main.Progress().FRecoverAttempted = 4;

    for (int kind = 1; kind <= 7; ++kind) {
        main.ShowNotice(gui::Notice(kind));
        ok &= Save(Composite(main, main.NoticeBox()), folder, QStringLiteral("notice-%1").arg(kind) + suffix);
        main.NoticeBox()->hide();
        main.Undim();
    }
    // The notices for disk images that cannot be scanned: one that holds no
    // NTFS, FAT or exFAT volume, one that is not there.
    const QString blank = config.path() + QStringLiteral("/notes.img");
    WriteFile(blank, QString(4096, QLatin1Char(' ')));
    // The first is offered the search of the whole image instead, whose
    // progress is shown part-way (1.5 of 4 GB) without a search behind it.
    main.AddVolumeImages({blank});
    WaitFor([&main] { return main.QuestionBox()->isVisible(); }, 30000);
    ok &= Save(Composite(main, main.QuestionBox()), folder, QStringLiteral("question-full-search") + suffix);
    main.QuestionBox()->hide();
    gui::TFrm_ImageSearch& search = *main.ImageSearch().ProgressWindow();
    main.ScanWorker().Search.Total = 4'294'967'296;
    main.ScanWorker().Search.Done = 1'610'612'736;
    search.ShowRunning(QStringLiteral("notes.img"));
    search.Refresh();
    ok &= Save(Composite(main, &search), folder, QStringLiteral("partition-search-progress") + suffix);
    search.Finish();
    main.ScanWorker().Search.Total = 0;
    main.ScanWorker().Search.Done = 0;
    for (const gui::Notice kind : {gui::Notice::ImageNoVolume, gui::Notice::ImageNothingFound}) {
        main.ShowNotice(kind);
        ok &= Save(Composite(main, main.NoticeBox()), folder,
                   QStringLiteral("notice-%1").arg(static_cast<int>(kind)) + suffix);
        main.NoticeBox()->hide();
        main.Undim();
    }
    // A scan that found nothing where 3 MB of the first drive could not be read.
    if (!main.ScanWorker().Disks.empty()) {
        TMyDisk& damaged = *main.ScanWorker().Disks.front();
        const bool selected = damaged.Selected;
        damaged.Selected = true;
        damaged.Drive->Damage.UnreadableBytes = 3u << 20;
        main.ShowNotice(gui::Notice::ScanUnreadable);
        ok &= Save(Composite(main, main.NoticeBox()), folder, QStringLiteral("notice-10") + suffix);
        main.NoticeBox()->hide();
        main.Undim();
        damaged.Drive->Damage.UnreadableBytes = 0;
        damaged.Selected = selected;
    }
    main.AddVolumeImages({config.path() + QStringLiteral("/holiday.img")});
    WaitFor([&main] { return !main.StartPage()->Chooser()->ImagesPending(); }, 30000);
    ok &= Save(Composite(main, main.NoticeBox()), folder, QStringLiteral("notice-9") + suffix);
    main.NoticeBox()->hide();
    main.Undim();
    if (!diskImage.isEmpty()) {
        main.AddVolumeImages({diskImage});
        WaitFor([&main] { return !main.StartPage()->Chooser()->ImagesPending(); }, 30000);
        Settle();
        ok &= Save(Composite(main, nullptr), folder, QStringLiteral("start-disk-image") + suffix);
    }
    // Question 7 is asked on Windows only, and drawn here all the same.
    for (const int kind : {1, 2, 3, 4, 5, 7}) {
        main.Dim();
        main.QuestionBox()->ShowQuestion(gui::Question(kind));
        ok &= Save(Composite(main, main.QuestionBox()), folder, QStringLiteral("question-%1").arg(kind) + suffix);
        main.QuestionBox()->hide();
        main.Undim();
    }

    main.Hub().Send(gui::Msg::OpenSettings);
    ok &= Save(Composite(main, main.SettingsWindow()), folder, QStringLiteral("settings") + suffix);
    main.SettingsWindow()->close();
    Settle();

    main.OpenAbout();
    ok &= Save(Composite(main, main.AboutWindow()), folder, QStringLiteral("about") + suffix);
    main.AboutWindow()->OkButton()->click();
    Settle();
    ok &= RenderResults(main, resultImage, folder, suffix);
    ok &= RenderPreviews(main, folder, suffix);
    ok &= RenderRecovery(main, folder, suffix);
    return ok;
}

// A memory card's scan: `card` (an exFAT volume image) offered as a drive,
// shown in the chooser with its file system, scanned from the window, and
// its result page opened on the folder tree with the card's folders.
bool RenderCard(const QString& folder, const QString& language, const QString& suffix, const QString& card) {
    QTemporaryDir config;
    UseConfigFolder(config.path());
    const QString data = config.path() + QStringLiteral("/Dunro Data Recovery/");
    QDir(config.path()).mkpath(QStringLiteral("Dunro Data Recovery"));
    if (!WriteFile(data + QStringLiteral("Main.ini"), QStringLiteral("[Main]\r\nLanguage=%1\r\n").arg(language)))
        return false;
    gui::TFram_UndeleteMain main;
    main.SetProcessEnd([] {});
    main.AddVolumeImages({card});
    main.move(0, 0);
    main.show();
    gui::TFrm_Choose& start = *main.StartPage();
    if (!WaitFor([&start] { return start.Chooser()->DriveListReady(); }, 30000)) {
        std::fprintf(stderr, "the drive list did not fill\n");
        return false;
    }
    Settle();
    bool ok = Save(Composite(main, nullptr), folder, QStringLiteral("card-start") + suffix);
    if (!ScanFromWindow(main, card)) {
        std::fprintf(stderr, "a scan of %s from the window did not reach the result page\n", qPrintable(card));
        return false;
    }
    Settle();
    gui::TFrm_Result& page = *main.ResultPage();
    QTest::mouseClick(page.LocationTab(), Qt::LeftButton);
    QTreeWidgetItem* drive = page.Folders()->topLevelItem(0)->child(0);
    drive->setExpanded(true);
    if (QTreeWidgetItem* photos = ItemNamed(*page.Folders(), QStringLiteral("DCIM"))) {
        photos->setExpanded(true);
        page.Folders()->setCurrentItem(photos->childCount() ? photos->child(0) : photos);
    }
    page.Folders()->setFocus();
    Settle();
    ok &= Save(Composite(main, nullptr), folder, QStringLiteral("card-result") + suffix);
    return ok;
}

// The deep scan: the start page with its box checked and a search by content
// part-way; `deepImage` (a card whose file system was wiped) offered, searched
// whole for lost volumes in vain, and question 8; its YES, the result page on
// "Found by content" with the JPEG files, and one of them previewed.
bool RenderDeepScan(const QString& folder, const QString& language, const QString& suffix, const QString& deepImage) {
    QTemporaryDir config;
    UseConfigFolder(config.path());
    const QString data = config.path() + QStringLiteral("/Dunro Data Recovery/");
    QDir(config.path()).mkpath(QStringLiteral("Dunro Data Recovery"));
    if (!WriteFile(data + QStringLiteral("Main.ini"),
                   QStringLiteral("[Main]\r\nLanguage=%1\r\nScanTips=1\r\nDeepScan=1\r\n").arg(language)))
        return false;
    gui::TFram_UndeleteMain main;
    main.SetProcessEnd([] {});
    main.move(0, 0);
    main.show();
    gui::TFrm_Choose& start = *main.StartPage();
    if (!WaitFor([&start] { return start.Chooser()->DriveListReady(); }, 30000)) {
        std::fprintf(stderr, "the drive list did not fill\n");
        return false;
    }
    Settle();
    bool ok = Save(Composite(main, nullptr), folder, QStringLiteral("start-deep-scan") + suffix);
    // Where raw drives were refused for want of rights (on Windows), the
    // header offers to restart the program as administrator.
    start.Chooser()->OfferRestartAsAdministrator();
    ok &= Save(Composite(main, nullptr), folder, QStringLiteral("start-restart-admin") + suffix);
    start.Chooser()->OfferRestartAsAdministrator(false);
    // A search by content part-way: 1.2 GB looked through, 348 files found.
    main.Progress().FBytesSearched = 1'288'490'188;
    main.Progress().FFoundCount = 348;
    start.PrepareForScanning(true);
    start.ShowScanProgress(17);
    ok &= Save(Composite(main, nullptr), folder, QStringLiteral("start-deep-scanning") + suffix);
    start.ScanEnded();
    start.Reset();
    main.Progress().FBytesSearched = 0;
    main.Progress().FFoundCount = 0;

    main.AddVolumeImages({deepImage});
    if (!WaitFor([&main] { return main.QuestionBox()->isVisible(); }, 30000)) {
        std::fprintf(stderr, "%s was not offered the search of the whole image\n", qPrintable(deepImage));
        return false;
    }
    QTest::mouseClick(main.QuestionBox()->DefaultButton(), Qt::LeftButton);
    if (!WaitFor([&main] { return main.QuestionBox()->isVisible() &&
                                  main.QuestionBox()->Kind() == gui::Question::DeepScanWholeImage; }, 60000)) {
        std::fprintf(stderr, "%s was not offered the deep scan\n", qPrintable(deepImage));
        return false;
    }
    ok &= Save(Composite(main, main.QuestionBox()), folder, QStringLiteral("question-8") + suffix);
    QTest::mouseClick(main.QuestionBox()->DefaultButton(), Qt::LeftButton);
    if (!WaitFor([&main] { return main.ResultPage()->isVisible(); }, 120000)) {
        std::fprintf(stderr, "the deep scan of %s did not reach the result page\n", qPrintable(deepImage));
        return false;
    }
    Settle();
    gui::TFrm_Result& page = *main.ResultPage();
    QTest::mouseClick(page.LocationTab(), Qt::LeftButton);
    // The kinds are added when their folder opens.
    if (QTreeWidgetItem* found = ItemNamed(*page.Folders(), gui::Tr(main.Language(), "M_FoundByContent", "Found by content")))
        found->setExpanded(true);
    QTreeWidgetItem* jpg = ItemNamed(*page.Folders(), QStringLiteral("jpg"));
    if (!jpg) {
        std::fprintf(stderr, "the deep scan found no JPEG file\n");
        return false;
    }
    for (QTreeWidgetItem* up = jpg->parent(); up; up = up->parent())
        up->setExpanded(true);
    page.Folders()->setCurrentItem(jpg);
    page.Folders()->setFocus();
    Settle();
    ok &= Save(Composite(main, nullptr), folder, QStringLiteral("deep-result") + suffix);
    const TMyFile* picture = nullptr;
    for (const TMyFile* file : page.View().ShownFiles)
        if (file->State == kStateExcellent) {
            picture = file;
            break;
        }
    if (!picture) {
        std::fprintf(stderr, "no whole JPEG file in the deep scan\n");
        return false;
    }
    main.OpenPreview(picture);
    WaitForPreview(*main.PicturePreview());
    ok &= Save(Composite(main, main.PicturePreview()), folder, QStringLiteral("deep-preview") + suffix);
    main.PicturePreview()->Close();
    return ok;
}

// The control set on one panel, with every picture of gui/art in use.
bool RenderControls(const QString& folder) {
    QWidget panel;
    panel.setAutoFillBackground(true);
    panel.resize(960, 520);
    auto place = [&panel](QWidget* w, int x, int y, int width, int height) {
        w->setParent(&panel);
        w->setGeometry(x, y, width, height);
    };
    auto* primary = new RdImgButton(RdImgButton::Look::Primary);
    primary->SetCaption(QStringLiteral("Recover"));
    place(primary, 24, 24, 120, 34);
    auto* secondary = new RdImgButton(RdImgButton::Look::Secondary);
    secondary->SetCaption(QStringLiteral("Preview"));
    secondary->SetArt(QStringLiteral("preview"));
    place(secondary, 156, 24, 120, 34);
    auto* disabled = new RdImgButton(RdImgButton::Look::Primary);
    disabled->SetCaption(QStringLiteral("Scan"));
    disabled->setEnabled(false);
    place(disabled, 288, 24, 120, 34);
    auto* box = new RdCheckBox(RdCheckBox::Look::Box);
    box->setText(QStringLiteral("Check box"));
    box->setChecked(true);
    place(box, 24, 72, 140, 24);
    auto* toggle = new RdCheckBox(RdCheckBox::Look::Toggle);
    toggle->setText(QStringLiteral("Toggle"));
    toggle->setChecked(true);
    place(toggle, 170, 72, 140, 24);
    auto* label = new RdLabel;
    label->SetMarkedText(QStringLiteral("Recovering the selected <a>12</a> files"));
    place(label, 24, 104, 380, 24);
    auto* bar = new RdProgressBar;
    bar->setValue(62);
    place(bar, 24, 140, 380, 10);

    auto* types = new RdCheckList(true);
    const char* categories[][2] = {{"Photos", "cat-pictures"}, {"Videos", "cat-videos"}, {"Music", "cat-music"},
                                   {"Documents", "cat-documents"}, {"Archives", "cat-archives"}, {"Others", "cat-others"}};
    for (const auto& category : categories)
        types->AddRow(QString::fromLatin1(category[0]), QString::fromLatin1(category[1]), true);
    place(types, 24, 168, 190, 190);
    auto* tree = new RdCheckTree;
    QTreeWidgetItem* system = tree->AddRow(nullptr, QStringLiteral("Local Disk (C:)"), QStringLiteral("drive-windows"), 214);
    tree->AddRow(system, QStringLiteral("Desktop"), QStringLiteral("desktop"), 37);
    tree->AddRow(system, QStringLiteral("Recycle Bin"), QStringLiteral("recycle-bin"), 58);
    tree->AddRow(system, QStringLiteral("Users"), QStringLiteral("folder"), 119)->setCheckState(0, Qt::Checked);
    tree->AddRow(nullptr, QStringLiteral("Removable (E:)"), QStringLiteral("drive"), 41);
    tree->expandAll();
    place(tree, 226, 168, 230, 190);

    auto* ring = new RdProgressRing;
    ring->setValue(62);
    ring->SetCentreText(QStringLiteral("62 %"));
    place(ring, 480, 12, 150, 150);
    QLabel* states[3];
    const char* stateArt[] = {"state-running", "state-success", "state-failure"};
    for (int i = 0; i < 3; ++i) {
        states[i] = new QLabel;
        states[i]->setPixmap(skin::Art(QString::fromLatin1(stateArt[i]), {40, 40}));
        place(states[i], 660 + i * 56, 60, 40, 40);
    }

    auto model = std::make_unique<QStandardItemModel>(6, 3);
    model->setHorizontalHeaderLabels({QStringLiteral("File Name"), QStringLiteral("Size"), QStringLiteral("Recoverability")});
    const char* grades[][2] = {{"Excellent", "grade-excellent"}, {"Good", "grade-good"}, {"Poor", "grade-poor"}};
    for (int row = 0; row < 6; ++row) {
        auto* name = new QStandardItem(QStringLiteral("holiday-%1.jpg").arg(row + 1));
        name->setCheckable(true);
        name->setCheckState(row < 2 ? Qt::Checked : Qt::Unchecked);
        name->setData(QStringLiteral("cat-pictures"), Qt::DecorationRole);
        model->setItem(row, 0, name);
        model->setItem(row, 1, new QStandardItem(QStringLiteral("%1.2 MB").arg(row + 1)));
        auto* grade = new QStandardItem(QString::fromLatin1(grades[row % 3][0]));
        grade->setData(QString::fromLatin1(grades[row % 3][1]), Qt::DecorationRole);
        model->setItem(row, 2, grade);
    }
    auto* report = new RdReportList;
    report->setModel(model.get());
    report->setColumnWidth(0, 200);
    report->setColumnWidth(1, 90);
    place(report, 480, 178, 456, 200);

    panel.show();
    RdHintBalloon balloon(&panel);
    balloon.setWindowFlags(Qt::Widget);
    balloon.ShowAt(QPoint(60, 380), QStringLiteral("Click scan to find the recoverable files."), 0);
    Settle();
    return Save(panel.grab().toImage(), folder, QStringLiteral("controls"));
}

// On an X display: the hint balloon as the server shows it, read back from
// the screen over a window of the page colour, where a window without a
// compositor shows what a widget's own picture cannot (a black frame of
// clear pixels, say).
bool RenderBalloonOnScreen(const QString& folder) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    QWidget backdrop(nullptr, Qt::FramelessWindowHint);
    backdrop.setAutoFillBackground(true);
    QPalette palette = backdrop.palette();
    palette.setColor(QPalette::Window, skin::Colors().page);
    backdrop.setPalette(palette);
    backdrop.setGeometry(0, 0, 400, 160);
    backdrop.show();
    if (!QTest::qWaitForWindowExposed(&backdrop))
        return false;
    RdHintBalloon balloon(&backdrop);
    balloon.ShowAt(QPoint(40, 30), QStringLiteral("Click scan to find the recoverable files."), 0);
    if (!QTest::qWaitForWindowExposed(&balloon))
        return false;
    QTest::qWait(200);
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, 400, 160);
    return Save(screen.toImage(), folder, QStringLiteral("balloon-on-screen"));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 7) {
        std::fputs("usage: dunro_gui_screenshots FOLDER IMAGE [RESULT_IMAGE [CARD_IMAGE [DISK_IMAGE [DEEP_IMAGE]]]]\n",
                   stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    skin::Apply(app);
    const QString folder = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    QDir().mkpath(folder);
    // The images are named by their file names alone, as the lists show a
    // drive's name: each is linked into one folder that becomes the current one.
    QTemporaryDir images;
    const QFileInfo image(QString::fromLocal8Bit(argv[2]));
    const QFileInfo resultImage(QString::fromLocal8Bit(argv[argc >= 4 ? 3 : 2]));
    const QFileInfo card(argc >= 5 ? QString::fromLocal8Bit(argv[4]) : QString());
    const QFileInfo diskImage(argc >= 6 ? QString::fromLocal8Bit(argv[5]) : QString());
    const QFileInfo deepImage(argc == 7 ? QString::fromLocal8Bit(argv[6]) : QString());
    // Windows makes a shortcut of a link, which no program opens as the file.
    for (const QFileInfo& info : {image, resultImage, card, diskImage, deepImage})
        if (!info.filePath().isEmpty()) {
#ifdef Q_OS_WIN
            QFile::copy(info.absoluteFilePath(), images.filePath(info.fileName()));
#else
            QFile::link(info.absoluteFilePath(), images.filePath(info.fileName()));
#endif
        }
    QDir::setCurrent(images.path());
    // A folder on this machine's own file system, which the chooser shows but cannot scan.
    const QString outside = QDir::tempPath() + QStringLiteral("/Holiday Photos");
    QDir().mkpath(outside);
    bool ok = RenderLanguage(folder, QStringLiteral("English"), QString(), image.fileName(), resultImage.fileName(), outside,
                             diskImage.fileName());
    ok &= RenderLanguage(folder, QStringLiteral("Deutsch"), QStringLiteral("-de"), image.fileName(), resultImage.fileName(),
                         outside, diskImage.fileName());
    QDir().rmdir(outside);
    if (!card.fileName().isEmpty()) {
        ok &= RenderCard(folder, QStringLiteral("English"), QString(), card.fileName());
        ok &= RenderCard(folder, QStringLiteral("Deutsch"), QStringLiteral("-de"), card.fileName());
    }
    if (!deepImage.fileName().isEmpty()) {
        ok &= RenderDeepScan(folder, QStringLiteral("English"), QString(), deepImage.fileName());
        ok &= RenderDeepScan(folder, QStringLiteral("Deutsch"), QStringLiteral("-de"), deepImage.fileName());
    }
    ok &= RenderControls(folder);
    ok &= RenderBalloonOnScreen(folder);
    return ok ? 0 : 1;
}
