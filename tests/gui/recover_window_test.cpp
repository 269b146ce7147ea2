// Recovery from the window on real scans of the corpus images, driven the
// way a user does: check files in the list, press Recover, answer the
// folder dialog, watch the progress window, stop and go on, see the outcome
// and open the folder. The destinations that must be refused are real: a
// tmpfs too small for the job, a read-only mount, a folder that vanished,
// and a folder on the very drive the files come from (an image on a loop
// device, mounted by ntfs-3g through that device).
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <sys/stat.h>

#include "gui/app/prompt_box.h"
#include "gui/recover/recover_progress.h"
#include "gui/results/result_list.h"
#include "gui/results/result_list_model.h"
#include "gui/results/result_page.h"
#include "gui/widgets/check_box.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/progress_bar.h"
#include "gui/widgets/skin_label.h"
#include "gui/widgets/title_bar.h"
#include "gui_test_support.h"
#include "platform/read_faults.h"
#include "recover/recover_worker.h"
#include "scan/progress.h"
#include "scan/scan_worker.h"
#include "volume/helpers.h"

using namespace gui_test;

namespace {

std::string Corpus(const char* name) { return std::string(DUNRO_CORPUS_DIR) + "/" + name; }

// A deleted file as the corpus manifest describes it.
struct ManifestFile {
    QString name;
    QString folder;  // "Users/Ann/Pictures/"
    qint64 size = 0;
    QByteArray sha256;
};

// The manifest's entries for `paths`, in that order; empty when one is missing.
QList<ManifestFile> FromManifest(const std::string& image, const QStringList& paths) {
    QFile file(QString::fromStdString(image) + QStringLiteral(".manifest.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonArray entries = QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("files")).toArray();
    QList<ManifestFile> found;
    for (const QString& path : paths) {
        for (const QJsonValue& value : entries) {
            const QJsonObject entry = value.toObject();
            if (entry.value(QStringLiteral("path")).toString() != path)
                continue;
            const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
            found.append({path.mid(slash + 1), path.left(slash + 1), entry.value(QStringLiteral("size")).toInteger(),
                          entry.value(QStringLiteral("sha256")).toString().toLatin1()});
            break;
        }
    }
    return found.size() == paths.size() ? found : QList<ManifestFile>{};
}

// Deleted files whose data the manifest says is untouched.
const QStringList kThreeIntact = {QStringLiteral("Users/Ann/Pictures/beach.jpg"),
                                  QStringLiteral("Users/Ann/Documents/notes.txt"),
                                  QStringLiteral("Users/Ann/Pictures/tiny.png")};
const QStringList kFiveIntact = {QStringLiteral("Users/Ann/Pictures/cat.gif"),
                                 QStringLiteral("Users/Ann/Documents/report.docx"),
                                 QStringLiteral("Users/Ann/Documents/notes.txt"),
                                 QStringLiteral("Users/Ann/Documents/budget.xls"),
                                 QStringLiteral("Documents/old.rar")};

QByteArray Sha256Of(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

// The recovered files in a folder; the job's report beside them is not one.
QStringList FilesIn(const QString& folder) {
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    files.removeAll(QStringLiteral("dunro-report.xml"));
    files.removeAll(QStringLiteral("dunro-report.csv"));
    return files;
}

// Checks each file through its row's check box, as a click does.
bool CheckInTheList(gui::TFrm_Result& page, const QList<ManifestFile>& files) {
    const auto& shown = page.View().ShownFiles;
    for (const ManifestFile& want : files) {
        int row = -1;
        for (size_t i = 0; i < shown.size() && row < 0; ++i) {
            QString folder = QString::fromStdString(shown[i]->FolderPath);
            folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
            if (QString::fromStdString(shown[i]->FileName) == want.name && folder == want.folder)
                row = static_cast<int>(i);
        }
        if (row < 0)
            return false;
        page.List()->scrollTo(page.ListModel()->index(row, 0));
        QTest::mouseClick(page.List()->viewport(), Qt::LeftButton, {}, page.List()->CheckZone(row).center());
    }
    return page.View().CheckedCount == files.size();
}

// Runs a system tool; its exit code, with what it said in `output`.
int Run(const QString& program, const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return -1;
    if (output)
        *output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A file system mounted for one test and unmounted when it goes; on a loop
// device when it holds an image.
class Mount {
public:
    ~Mount() {
        if (!point_.isEmpty())
            Run(QStringLiteral("umount"), {point_});
        if (!loop_.isEmpty())
            Run(QStringLiteral("losetup"), {QStringLiteral("-d"), loop_});
    }
    // A tmpfs of `bytes` at `point`; `why` says what failed.
    bool Tmpfs(const QString& point, qint64 bytes, bool readOnly, QString& why) {
        QDir().mkpath(point);
        QString options = QStringLiteral("size=%1").arg(bytes);
        if (readOnly)
            options += QStringLiteral(",ro");
        QString said;
        if (Run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), options,
                                          QStringLiteral("tmpfs"), point},
                &said) != 0) {
            why = QStringLiteral("cannot mount a tmpfs at %1 (the test needs root and the right to mount): %2").arg(point, said);
            return false;
        }
        point_ = point;
        return true;
    }
    // `image` on a free loop device; the device's name, empty on failure.
    QString Loop(const QString& image, QString& why) {
        QString said;
        if (Run(QStringLiteral("losetup"), {QStringLiteral("-f"), QStringLiteral("--show"), image}, &said) != 0 ||
            !said.startsWith(QLatin1String("/dev/"))) {
            why = QStringLiteral("cannot put %1 on a loop device (the test needs root and /dev/loop*): %2").arg(image, said);
            return {};
        }
        loop_ = said;
        return loop_;
    }
    // The NTFS volume on the loop device mounted at `point` by ntfs-3g.
    bool Ntfs(const QString& point, QString& why) {
        QDir().mkpath(point);
        QString said;
        if (Run(QStringLiteral("ntfs-3g"), {loop_, point}, &said) != 0) {
            why = QStringLiteral("ntfs-3g cannot mount %1 at %2 (the test needs root and /dev/fuse): %3").arg(loop_, point, said);
            return false;
        }
        point_ = point;
        return true;
    }

private:
    QString point_;
    QString loop_;
};

// Waits for the progress window's finished view.
bool WaitForTheOutcome(gui::TFram_UndeleteMain& window) {
    return QTest::qWaitFor([&] { return window.RecoverProgress()->Finished(); }, 60000);
}

// The names of the first `count` files of the job, in the order it takes them.
QStringList FirstOfTheJob(gui::TFram_UndeleteMain& window, int count) {
    QStringList names;
    for (const TMyFile* f : window.RecoverWorker().Jobs)
        if (names.size() < count)
            names << QString::fromStdString(f->FileName);
    return names;
}

QByteArray ManifestSha(const QList<ManifestFile>& files, const QString& name) {
    for (const ManifestFile& f : files)
        if (f.name == name)
            return f.sha256;
    return {};
}

// The progress window's text lines as a reader sees them.
QString LineText(RdLabel* label) { return label->isHidden() ? QString() : label->text(); }

// Makes every read of `path`'s data in `copy` (a copy of the corpus image
// `image`) wait `ms`, as a drive that retries a sector does; for devices
// opened from now on.
bool SlowDown(const std::string& image, const QString& copy, const QString& path, uint32_t ms) {
    QFile file(QString::fromStdString(image) + QStringLiteral(".manifest.json"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject manifest = QJsonDocument::fromJson(file.readAll()).object();
    const qint64 cluster = manifest.value(QStringLiteral("cluster_size")).toInteger();
    platform::ReadFaultPlan plan;
    for (const QJsonValue& value : manifest.value(QStringLiteral("files")).toArray()) {
        const QJsonObject entry = value.toObject();
        if (entry.value(QStringLiteral("path")).toString() != path)
            continue;
        for (const QJsonValue& run : entry.value(QStringLiteral("runs")).toArray())
            if (!run.toArray().at(0).isNull())
                plan.Slow.push_back({uint64_t(run.toArray().at(0).toInteger() * cluster),
                                     uint64_t(run.toArray().at(1).toInteger() * cluster), ms});
    }
    if (plan.Slow.empty() || cluster <= 0)
        return false;
    platform::SetReadFaults(copy.toStdString(), plan);
    return true;
}

} // namespace

class RecoverWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    // A scan of `image` on the result page with `files` checked through the list.
    bool ScanAndCheck(MainHarness& main, const std::string& image, const QList<ManifestFile>& files) {
        return ScanAndShowResults(*main.window, image) && CheckInTheList(*main.window->ResultPage(), files);
    }

    // A private copy of a corpus image that a test may cut short or mount.
    QString CopyOfCorpusImage(const char* name, const QString& as) {
        const QString copy = dir_.filePath(as);
        QFile::remove(copy);
        if (!QFile::copy(QString::fromStdString(Corpus(name)), copy))
            return {};
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        return copy;
    }

    static void PressRecover(MainHarness& main) {
        QTest::mouseClick(main.window->ResultPage()->RecoverButton(), Qt::LeftButton);
        Settle();
    }

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }

    void CheckedFilesAreRecoveredIntoTheChosenFolderAndOkOpensIt() {
        MainHarness main;
        auto& w = *main.window;
        const RecoveryShell& shell = main.shell;
        const QList<ManifestFile> files = FromManifest(Corpus("ntfs-basic.img"), kThreeIntact);
        QCOMPARE(files.size(), 3);
        QVERIFY(ScanAndCheck(main, Corpus("ntfs-basic.img"), files));
        const QString folder = dir_.filePath(QStringLiteral("recovered"));
        QVERIFY(QDir().mkpath(folder));
        shell.chooser->answers.push_back([folder] { return folder; });

        PressRecover(main);
        QCOMPARE(shell.chooser->calls.size(), 1);
        QCOMPARE(shell.chooser->calls.first().title, QStringLiteral("Select a directory to save the recovered files."));
        gui::Tfrm_RecoverProgress& progress = *w.RecoverProgress();
        QVERIFY(progress.isVisible());
        QVERIFY(w.Dimmed());
        QVERIFY(WaitForTheOutcome(w));

        // The success view, the main window still dimmed under it.
        QVERIFY(progress.Succeeded());
        QCOMPARE(progress.StateImage()->objectName(), QStringLiteral("Image_Success"));
        QCOMPARE(progress.MainLine()->text(), QStringLiteral("3 files recovered"));
        QCOMPARE(LineText(progress.FailedLine()), QString());
        QCOMPARE(LineText(progress.Tip()), QStringLiteral("Click OK to open the recovery directory."));
        QVERIFY(progress.Bar()->isHidden());
        QCOMPARE(progress.OkButton()->text(), QStringLiteral("OK"));
        QVERIFY(w.Dimmed());
        // The list shows no checked file, and the worker is idle again.
        QCOMPARE(w.ResultPage()->View().CheckedCount, 0);
        QVERIFY(w.Progress().FRecoverIdle);

        QStringList expectedNames;
        for (const ManifestFile& f : files) {
            expectedNames << f.name;
            QCOMPARE(Sha256Of(folder + QLatin1Char('/') + f.name), f.sha256);
        }
        expectedNames.sort();
        QCOMPARE(FilesIn(folder), expectedNames);

        main.log->Clear();
        QTest::mouseClick(progress.OkButton(), Qt::LeftButton);
        Settle();
        QVERIFY(main.log->Has(gui::Msg::OpenDestination));
        QCOMPARE(shell.opener->opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
        QVERIFY(!progress.isVisible());
        QVERIFY(!w.Dimmed());

        // The next dialog starts at the folder just used.
        QVERIFY(CheckInTheList(*w.ResultPage(), files.mid(0, 1)));
        PressRecover(main);
        QCOMPARE(shell.chooser->calls.size(), 2);
        QCOMPARE(shell.chooser->calls.last().start, QDir::toNativeSeparators(folder));
    }

    // Off by default; Space on the focused box turns it on and Main.ini keeps
    // it for the next window, whose recovery then keeps the folders and says
    // where its report is.
    void KeepFolderStructureIsRememberedAndKeepsTheFolders() {
        WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("Language=English")});
        {
            MainHarness main;
            RdCheckBox* box = main.window->ResultPage()->KeepFoldersBox();
            QCOMPARE(box->text(), QStringLiteral("Keep folder structure"));
            QCOMPARE(box->accessibleName(), QStringLiteral("Keep folder structure"));
            QVERIFY(!box->isChecked());
            QVERIFY(box->focusPolicy() & Qt::TabFocus);
            QVERIFY(ScanAndShowResults(*main.window, Corpus("ntfs-basic.img")));
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Space);
            QVERIFY(box->isChecked());
        }
        QVERIFY(MainIniHolds(QStringLiteral("KeepFolders=1")));

        MainHarness main;
        auto& w = *main.window;
        QVERIFY(w.ResultPage()->KeepFoldersBox()->isChecked());
        const QList<ManifestFile> files = FromManifest(Corpus("ntfs-basic.img"), kThreeIntact);
        QVERIFY(ScanAndCheck(main, Corpus("ntfs-basic.img"), files));
        const QString folder = dir_.filePath(QStringLiteral("kept-folders"));
        QVERIFY(QDir().mkpath(folder));
        main.shell.chooser->answers.push_back([folder] { return folder; });
        PressRecover(main);
        QVERIFY(WaitForTheOutcome(w));
        gui::Tfrm_RecoverProgress& progress = *w.RecoverProgress();
        QVERIFY(progress.Succeeded());
        const QStringList volumes = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(volumes.size(), 1);
        for (const ManifestFile& f : files)
            QCOMPARE(Sha256Of(folder + QLatin1Char('/') + volumes.first() + QLatin1Char('/') + f.folder + f.name),
                     f.sha256);
        QVERIFY(QFile::exists(folder + QStringLiteral("/dunro-report.xml")));
        QVERIFY(!progress.ReportLine()->isHidden());
        QCOMPARE(progress.ReportLine()->accessibleName(),
                 QStringLiteral("The report is in ") + QDir::toNativeSeparators(folder + QStringLiteral("/dunro-report.xml")));
        QTest::mouseClick(progress.OkButton(), Qt::LeftButton);
        Settle();
        // Unchecked again, the next window starts with it off.
        QTest::mouseClick(w.ResultPage()->KeepFoldersBox(), Qt::LeftButton);
        QVERIFY(!w.ResultPage()->KeepFoldersBox()->isChecked());
        MainHarness next;
        QVERIFY(!next.window->ResultPage()->KeepFoldersBox()->isChecked());
    }

    void CancellingTheDialogUndimsTheWindowAndStartsNothing() {
        MainHarness main;
        auto& w = *main.window;
        const RecoveryShell& shell = main.shell;
        QVERIFY(ScanAndCheck(main, Corpus("ntfs-basic.img"), FromManifest(Corpus("ntfs-basic.img"), kThreeIntact)));
        PressRecover(main);  // no answer: Cancel
        QCOMPARE(shell.chooser->calls.size(), 1);
        QVERIFY(!w.Dimmed());
        QVERIFY(!w.RecoverProgress()->isVisible());
        QVERIFY(!w.NoticeBox()->isVisible());
        QVERIFY(w.Progress().FRecoverIdle);
        QCOMPARE(w.ResultPage()->View().CheckedCount, 3);
    }

    void AFolderOnTheSourceDriveAsksFirstNoBringsTheDialogBackYesRecovers() {
        // The image on a loop device is the scanned drive; ntfs-3g mounts the
        // same device, so a folder in that mount lies on the source drive.
        const QString image = CopyOfCorpusImage("ntfs-basic.img", QStringLiteral("source-drive.img"));
        QVERIFY(!image.isEmpty());
        Mount mount;
        QString why;
        const QString device = mount.Loop(image, why);
        if (device.isEmpty())
            QFAIL(qPrintable(why));

        MainHarness main;
        auto& w = *main.window;
        const RecoveryShell& shell = main.shell;
        const QList<ManifestFile> files = FromManifest(Corpus("ntfs-basic.img"), kThreeIntact);
        QVERIFY(ScanAndCheck(main, device.toStdString(), files));
        const QString point = dir_.filePath(QStringLiteral("source-mount"));
        if (!mount.Ntfs(point, why))
            QFAIL(qPrintable(why));
        struct stat folderInfo {}, deviceInfo {};
        QVERIFY(::stat(point.toLocal8Bit().constData(), &folderInfo) == 0);
        QVERIFY(::stat(device.toLocal8Bit().constData(), &deviceInfo) == 0);
        if (folderInfo.st_dev != deviceInfo.st_rdev)
            QFAIL("ntfs-3g did not mount through the block device, so no folder lies on the scanned drive");
        const QString folder = point + QStringLiteral("/Recovered");
        QVERIFY(QDir().mkpath(folder));
        for (int i = 0; i < 2; ++i)
            shell.chooser->answers.push_back([folder] { return folder; });

        PressRecover(main);
        gui::TFMsgBox_RecoverSelect& question = *w.QuestionBox();
        QVERIFY(question.isVisible());
        QCOMPARE(question.Kind(), gui::Question::RecoverOntoSource);
        QVERIFY(w.Dimmed());
        QVERIFY(!w.RecoverProgress()->isVisible());

        // NO: the dialog comes back at once.
        QTest::mouseClick(question.OtherButton(), Qt::LeftButton);
        Settle();
        QCOMPARE(shell.chooser->calls.size(), 2);
        QVERIFY(question.isVisible());
        QCOMPARE(question.Kind(), gui::Question::RecoverOntoSource);

        // YES: the job runs onto the source drive after all.
        QTest::mouseClick(question.DefaultButton(), Qt::LeftButton);
        Settle();
        QVERIFY(!question.isVisible());
        QVERIFY(w.RecoverProgress()->isVisible());
        QVERIFY(WaitForTheOutcome(w));
        QVERIFY(w.RecoverProgress()->Succeeded());
        QCOMPARE(w.RecoverProgress()->MainLine()->text(), QStringLiteral("3 files recovered"));
        QStringList names;
        for (const ManifestFile& f : files) {
            names << f.name;
            QCOMPARE(QFileInfo(folder + QLatin1Char('/') + f.name).size(), f.size);
        }
        names.sort();
        QCOMPARE(FilesIn(folder), names);
        QTest::mouseClick(w.RecoverProgress()->OkButton(), Qt::LeftButton);
        Settle();
        QCOMPARE(shell.opener->opened.size(), 1);
    }

    void AFolderWithoutRoomForTheJobShowsNotice6AndOkBringsTheDialogBack() {
        MainHarness main;
        auto& w = *main.window;
        const RecoveryShell& shell = main.shell;
        const QList<ManifestFile> files = FromManifest(Corpus("ntfs-basic.img"), kThreeIntact);
        QVERIFY(ScanAndCheck(main, Corpus("ntfs-basic.img"), files));
        Mount small;
        QString why;
        const QString point = dir_.filePath(QStringLiteral("small"));
        if (!small.Tmpfs(point, 64 * 1024, false, why))
            QFAIL(qPrintable(why));
        shell.chooser->answers.push_back([point] { return point; });

        PressRecover(main);
        gui::TFMsgBox_ScanRecoHelp& notice = *w.NoticeBox();
        QVERIFY(notice.isVisible());
        QCOMPARE(notice.Kind(), gui::Notice::NoRoom);
        QVERIFY(w.Dimmed());
        const QString size = QString::fromStdString(volume::SizeText(w.RecoverWorker().JobBytes));
        QCOMPARE(BoxText(notice), QStringLiteral("The selected drive does not have %1 free space to store the recovered "
                                                 "files. Please choose another one to continue the recovery.")
                                      .arg(size));
        QVERIFY(!w.RecoverProgress()->isVisible());

        // OK brings the dialog back; cancelling it ends the recovery request.
        QTest::mouseClick(notice.DefaultButton(), Qt::LeftButton);
        Settle();
        QCOMPARE(shell.chooser->calls.size(), 2);
        QVERIFY(!notice.isVisible());
        QVERIFY(!w.Dimmed());
        QVERIFY(FilesIn(point).isEmpty());
    }

    void AFolderThatCannotBeWrittenShowsNotice7AndItsCloseBringsTheDialogBack() {
        // Root writes through permission bits, not through a read-only mount.
        MainHarness main;
        auto& w = *main.window;
        const RecoveryShell& shell = main.shell;
        QVERIFY(ScanAndCheck(main, Corpus("ntfs-basic.img"), FromManifest(Corpus("ntfs-basic.img"), kThreeIntact)));
        Mount readOnly;
        QString why;
        const QString point = dir_.filePath(QStringLiteral("read-only"));
        if (!readOnly.Tmpfs(point, 1024 * 1024, true, why))
            QFAIL(qPrintable(why));
        shell.chooser->answers.push_back([point] { return point; });

        PressRecover(main);
        gui::TFMsgBox_ScanRecoHelp& notice = *w.NoticeBox();
        QVERIFY(notice.isVisible());
        QCOMPARE(notice.Kind(), gui::Notice::ReadOnlyFolder);
        QCOMPARE(BoxText(notice), QStringLiteral("Files cannot be recovered to a read-only removable disk. Please choose "
                                                 "another one to continue the recovery."));
        QTest::mouseClick(notice.TitleBar()->CloseButton(), Qt::LeftButton);
        Settle();
        QCOMPARE(shell.chooser->calls.size(), 2);
        QVERIFY(!w.Dimmed());
    }

    void AFolderThatVanishedBeforeTheCheckShowsNotice5() {
        MainHarness main;
        auto& w = *main.window;
        const RecoveryShell& shell = main.shell;
        QVERIFY(ScanAndCheck(main, Corpus("ntfs-basic.img"), FromManifest(Corpus("ntfs-basic.img"), kThreeIntact)));
        const QString folder = dir_.filePath(QStringLiteral("vanishing"));
        shell.chooser->answers.push_back([folder] {
            QDir().mkpath(folder);
            QDir(folder).removeRecursively();  // gone between the dialog and the check
            return folder;
        });

        PressRecover(main);
        gui::TFMsgBox_ScanRecoHelp& notice = *w.NoticeBox();
        QVERIFY(notice.isVisible());
        QCOMPARE(notice.Kind(), gui::Notice::FolderMissing);
        QVERIFY(w.Dimmed());
        main.log->Clear();
        QTest::mouseClick(notice.DefaultButton(), Qt::LeftButton);
        Settle();
        QVERIFY(main.log->Has(gui::Msg::NoticeAnswered));
        QCOMPARE(shell.chooser->calls.size(), 1);
        QVERIFY(!w.Dimmed());
        QVERIFY(w.Progress().FRecoverIdle);
    }

    void StopAsksAboutTheUnfinishedFilesNoGoesOnYesEndsWithoutTheHint() {
        MainHarness main;
        auto& w = *main.window;
        const RecoveryShell& shell = main.shell;
        const QList<ManifestFile> files = FromManifest(Corpus("ntfs-basic.img"), kFiveIntact);
        QCOMPARE(files.size(), 5);
        QVERIFY(ScanAndCheck(main, Corpus("ntfs-basic.img"), files));
        const QString folder = dir_.filePath(QStringLiteral("stopped"));
        QVERIFY(QDir().mkpath(folder));
        shell.chooser->answers.push_back([folder] { return folder; });
        // Time enough after each file for the user's press to land on it.
        w.RecoverWorker().FilePauseMs = 400;
        TUnDeleteProgress& record = w.Progress();

        PressRecover(main);
        gui::Tfrm_RecoverProgress& progress = *w.RecoverProgress();
        gui::TFMsgBox_RecoverSelect& question = *w.QuestionBox();
        QTRY_COMPARE_WITH_TIMEOUT(uint32_t(record.FRecoverAttempted), 1u, 20000);
        QTest::mouseClick(progress.OkButton(), Qt::LeftButton);  // STOP
        Settle();
        QVERIFY(!progress.isVisible());
        QVERIFY(question.isVisible());
        QCOMPARE(question.Kind(), gui::Question::StopRecovery);
        // The files not yet finished, the one under way included: 5 − 1 + 1.
        QCOMPARE(BoxText(question), QStringLiteral("5 files may not be recovered. Are you sure you want to stop the recovery?"));
        QTest::qWait(600);
        QCOMPARE(uint32_t(record.FRecoverAttempted), 1u);  // held while the question waits

        // NO: the window comes back and the job goes on.
        QTest::mouseClick(question.OtherButton(), Qt::LeftButton);
        Settle();
        QVERIFY(progress.isVisible());
        QVERIFY(progress.OkButton()->isEnabled());
        QVERIFY(w.Dimmed());
        QTRY_COMPARE_WITH_TIMEOUT(uint32_t(record.FRecoverAttempted), 2u, 20000);

        // The close button stops as STOP does; YES ends the job after two files.
        QTest::mouseClick(progress.TitleBar()->CloseButton(), Qt::LeftButton);
        Settle();
        QCOMPARE(BoxText(question), QStringLiteral("4 files may not be recovered. Are you sure you want to stop the recovery?"));
        QTest::mouseClick(question.DefaultButton(), Qt::LeftButton);
        QVERIFY(WaitForTheOutcome(w));
        QVERIFY(!question.isVisible());
        QCOMPARE(uint32_t(record.FRecoverAttempted), 2u);
        QCOMPARE(progress.StateImage()->objectName(), QStringLiteral("Image_Fail"));
        QCOMPARE(progress.MainLine()->text(), QStringLiteral("2 files recovered"));
        QCOMPARE(LineText(progress.FailedLine()), QStringLiteral("3 files failed to be recovered."));
        QCOMPARE(LineText(progress.Tip()), QString());  // stopped: no hint to try another drive
        QCOMPARE(FilesIn(folder).size(), 2);
        QVERIFY(w.Dimmed());

        // OK after a failure only closes.
        main.log->Clear();
        QTest::mouseClick(progress.OkButton(), Qt::LeftButton);
        Settle();
        QVERIFY(main.log->Has(gui::Msg::CloseFinishedProgress));
        QVERIFY(shell.opener->opened.isEmpty());
        QVERIFY(!progress.isVisible());
        QVERIFY(!w.Dimmed());
    }

    // The window manager's close (Alt+F4, logging out) while a file is being
    // written asks question 2 as the progress window's close does; YES ends
    // the program only once the worker has removed its unfinished file.
    void ClosingTheWindowDuringARecoveryAsksQuestion2AndEndsWithoutAPartialFile() {
        const QString image = CopyOfCorpusImage("ntfs-basic.img", QStringLiteral("slow-close.img"));
        QVERIFY(!image.isEmpty());
        QVERIFY(SlowDown(Corpus("ntfs-basic.img"), image, QStringLiteral("Users/Ann/Pictures/beach.jpg"), 2000));
        MainHarness main;
        auto& w = *main.window;
        const QList<ManifestFile> files = FromManifest(Corpus("ntfs-basic.img"), {QStringLiteral("Users/Ann/Pictures/beach.jpg")});
        QVERIFY(ScanAndCheck(main, image.toStdString(), files));
        const QString folder = dir_.filePath(QStringLiteral("closed"));
        QVERIFY(QDir().mkpath(folder));
        main.shell.chooser->answers.push_back([folder] { return folder; });
        // What lies in the folder at the moment the process would end.
        QStringList leftAtTheEnd;
        w.SetProcessEnd([&] {
            ++main.processEnds;
            leftAtTheEnd = FilesIn(folder);
        });

        PressRecover(main);
        QTRY_COMPARE_WITH_TIMEOUT(uint32_t(w.Progress().FRecoverAttempted), 1u, 20000);
        QTest::qWait(200);  // inside the slow read of beach.jpg
        w.close();
        Settle();
        QCOMPARE(main.processEnds, 0);
        gui::TFMsgBox_RecoverSelect& question = *w.QuestionBox();
        QVERIFY(question.isVisible());
        QCOMPARE(question.Kind(), gui::Question::StopRecovery);
        QCOMPARE(BoxText(question), QStringLiteral("1 files may not be recovered. Are you sure you want to stop the recovery?"));
        QTest::mouseClick(question.DefaultButton(), Qt::LeftButton);
        Settle();
        QVERIFY(WaitFor([&] { return main.processEnds > 0; }, 20000));
        QCOMPARE(main.processEnds, 1);
        QVERIFY(w.Progress().FRecoverDone);
        QCOMPARE(leftAtTheEnd, QStringList());
    }

    // A job that ended on an error says why in the failure view, in the
    // user's language where the reason is one of the program's own.
    void AJobThatEndedOnAnErrorShowsTheReasonInTheFailureView() {
        for (const bool german : {false, true}) {
            WriteMainIni({QStringLiteral("[Main]"), german ? QStringLiteral("Language=Deutsch") : QStringLiteral("Language=English")});
            MainHarness main;
            auto& w = *main.window;
            QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img")));
            TUnDeleteProgress& record = w.Progress();
            gui::Tfrm_RecoverProgress& progress = *w.RecoverProgress();
            for (const std::string reason : {"memory ran out", "cannot read /dev/sdz"}) {
                record.FRecoverFiles = 5;
                record.FRecoverAttempted = 3;
                record.FRecoverSucceeded = 2;
                record.FRecoverFailed = true;
                record.FRecoverIdle = false;
                w.RecoverWorker().FailureText = reason;
                w.Dim();
                w.Hub().Send(gui::Msg::RecoveryFinished);
                QVERIFY(progress.Finished());
                QCOMPARE(progress.StateImage()->objectName(), QStringLiteral("Image_Fail"));
                const QString said = LineText(progress.Tip());
                if (reason == "memory ran out")
                    QCOMPARE(said, german ? QStringLiteral("Die Wiederherstellung wurde wegen eines Fehlers beendet: der Arbeitsspeicher ist erschöpft.")
                                          : QStringLiteral("The recovery ended on an error: memory ran out."));
                else
                    QVERIFY2(said.endsWith(QStringLiteral(": cannot read /dev/sdz.")), qPrintable(said));
                QTest::mouseClick(progress.OkButton(), Qt::LeftButton);
                Settle();
            }
        }
        WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("Language=English")});
    }

    void ASourceCutShortPartWayEndsInTheFailureViewWithTheHintAndNoPartialFile() {
        const QString image = CopyOfCorpusImage("ntfs-basic.img", QStringLiteral("cut-short.img"));
        QVERIFY(!image.isEmpty());
        MainHarness main;
        auto& w = *main.window;
        const RecoveryShell& shell = main.shell;
        const QList<ManifestFile> files = FromManifest(Corpus("ntfs-basic.img"), kFiveIntact);
        QVERIFY(ScanAndCheck(main, image.toStdString(), files));
        const QString folder = dir_.filePath(QStringLiteral("cut-short"));
        QVERIFY(QDir().mkpath(folder));
        shell.chooser->answers.push_back([folder] { return folder; });
        w.RecoverWorker().FilePauseMs = 400;
        TUnDeleteProgress& record = w.Progress();

        // Held after the third file, the image loses its data, then the job goes on.
        PressRecover(main);
        QTRY_COMPARE_WITH_TIMEOUT(uint32_t(record.FRecoverAttempted), 3u, 20000);
        QTest::mouseClick(w.RecoverProgress()->OkButton(), Qt::LeftButton);
        Settle();
        QCOMPARE(BoxText(*w.QuestionBox()), QStringLiteral("3 files may not be recovered. Are you sure you want to stop the recovery?"));
        QVERIFY(QFile::resize(image, 0));
        QTest::mouseClick(w.QuestionBox()->OtherButton(), Qt::LeftButton);
        QVERIFY(WaitForTheOutcome(w));

        gui::Tfrm_RecoverProgress& progress = *w.RecoverProgress();
        QCOMPARE(uint32_t(record.FRecoverAttempted), 5u);
        QCOMPARE(progress.MainLine()->text(), QStringLiteral("3 files recovered"));
        QCOMPARE(LineText(progress.FailedLine()), QStringLiteral("2 files failed to be recovered."));
        QCOMPARE(LineText(progress.Tip()), QStringLiteral("Please choose another drive to try again."));
        // The three whole files and nothing of the two that failed.
        QStringList names = FirstOfTheJob(w, 3);
        for (const QString& name : names)
            QCOMPARE(Sha256Of(folder + QLatin1Char('/') + name), ManifestSha(files, name));
        names.sort();
        QCOMPARE(FilesIn(folder), names);
    }

    void ADestinationThatFillsUpPartWayLeavesNoHalfWrittenFile() {
        MainHarness main;
        auto& w = *main.window;
        const RecoveryShell& shell = main.shell;
        const QList<ManifestFile> files = FromManifest(Corpus("ntfs-basic.img"), kFiveIntact);
        QVERIFY(ScanAndCheck(main, Corpus("ntfs-basic.img"), files));
        Mount destination;
        QString why;
        const QString point = dir_.filePath(QStringLiteral("filling"));
        if (!destination.Tmpfs(point, 1024 * 1024, false, why))
            QFAIL(qPrintable(why));
        shell.chooser->answers.push_back([point] { return point; });
        w.RecoverWorker().FilePauseMs = 400;
        TUnDeleteProgress& record = w.Progress();

        PressRecover(main);
        QTRY_COMPARE_WITH_TIMEOUT(uint32_t(record.FRecoverAttempted), 3u, 20000);
        QTest::mouseClick(w.RecoverProgress()->OkButton(), Qt::LeftButton);
        Settle();
        // Someone else fills the drive while the question waits.
        QFile filler(point + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        QTest::mouseClick(w.QuestionBox()->OtherButton(), Qt::LeftButton);
        QVERIFY(WaitForTheOutcome(w));

        gui::Tfrm_RecoverProgress& progress = *w.RecoverProgress();
        QCOMPARE(progress.MainLine()->text(), QStringLiteral("3 files recovered"));
        QCOMPARE(LineText(progress.FailedLine()), QStringLiteral("2 files failed to be recovered."));
        QCOMPARE(LineText(progress.Tip()), QStringLiteral("Please choose another drive to try again."));
        QStringList names = FirstOfTheJob(w, 3);
        for (const QString& name : names)
            QCOMPARE(Sha256Of(point + QLatin1Char('/') + name), ManifestSha(files, name));
        names << QStringLiteral("filler");
        names.sort();
        QCOMPARE(FilesIn(point), names);
    }

    void AJobThatRecoversNothingSays0FilesRecovered() {
        const QString image = CopyOfCorpusImage("ntfs-basic.img", QStringLiteral("emptied.img"));
        QVERIFY(!image.isEmpty());
        MainHarness main;
        auto& w = *main.window;
        const QList<ManifestFile> files = FromManifest(Corpus("ntfs-basic.img"), kThreeIntact.mid(0, 2));
        QVERIFY(ScanAndCheck(main, image.toStdString(), files));
        const QString folder = dir_.filePath(QStringLiteral("nothing"));
        QVERIFY(QDir().mkpath(folder));
        main.shell.chooser->answers.push_back([folder] { return folder; });
        QVERIFY(QFile::resize(image, 0));  // the source lost everything after the scan

        PressRecover(main);
        QVERIFY(WaitForTheOutcome(w));
        gui::Tfrm_RecoverProgress& progress = *w.RecoverProgress();
        QCOMPARE(progress.StateImage()->objectName(), QStringLiteral("Image_Fail"));
        QCOMPARE(progress.MainLine()->text(), QStringLiteral("0 files recovered"));
        QCOMPARE(LineText(progress.FailedLine()), QStringLiteral("2 files failed to be recovered."));
        QCOMPARE(LineText(progress.Tip()), QStringLiteral("Please choose another drive to try again."));
        QVERIFY(FilesIn(folder).isEmpty());
    }

    void TheRunningViewShows0ThenAtLeast1PercentAndItsDotsStepOnceASecond() {
        MainHarness main;
        auto& w = *main.window;
        gui::Tfrm_RecoverProgress& progress = *w.RecoverProgress();
        qint64 now = 5000;
        progress.SetClock([&now] { return now; });
        TUnDeleteProgress& record = w.Progress();
        record.ResetRecovery();
        record.FRecoverFiles = 3;
        record.FUnitsTotal = 300;

        w.Dim();
        progress.ShowRunning();
        QVERIFY(progress.isVisible());
        QCOMPARE(progress.OkButton()->text(), QStringLiteral("STOP"));
        QCOMPARE(progress.StateImage()->objectName(), QStringLiteral("Image_Recoverying"));
        QCOMPARE(progress.Percent()->text(), QStringLiteral("0 %"));
        QCOMPARE(progress.Bar()->value(), 0);
        QVERIFY(progress.Refreshing());

        // Before a unit is done the job already shows as begun.
        now += 100;
        progress.Refresh();
        QCOMPARE(progress.Percent()->text(), QStringLiteral("1%"));
        QCOMPARE(progress.Bar()->value(), 1);
        QCOMPARE(progress.MainLine()->text(), QStringLiteral("Recovering the selected 3 files."));
        record.FUnitsDone = 150;
        // One, two, three dots, then one again, each standing a second (the
        // first step counts from the start, before this loop).
        QList<QPair<QString, int>> runs;
        for (int tick = 0; tick < 40; ++tick) {
            now += 100;
            progress.Refresh();
            const QString line = progress.MainLine()->text();
            if (runs.isEmpty() || runs.last().first != line)
                runs.append({line, 0});
            ++runs.last().second;
        }
        QCOMPARE(progress.Percent()->text(), QStringLiteral("50%"));
        QCOMPARE(progress.Bar()->value(), 50);
        QCOMPARE(runs.size(), 4);
        QCOMPARE(runs[0].first, QStringLiteral("Recovering the selected 3 files."));
        QCOMPARE(runs[1].first, QStringLiteral("Recovering the selected 3 files.."));
        QCOMPARE(runs[2].first, QStringLiteral("Recovering the selected 3 files..."));
        QCOMPARE(runs[3].first, QStringLiteral("Recovering the selected 3 files."));
        QCOMPARE(runs[1].second, 11);  // more than 1000 ms, at 100 ms a refresh
        QCOMPARE(runs[2].second, 11);

        // The line and the bar start at one left edge, the percentage stands
        // above the bar's right end, and the pair is centred on the picture.
        const QRect line = progress.MainLine()->geometry();
        const QRect bar = progress.Bar()->geometry();
        const QRect percent = progress.Percent()->geometry();
        const QRect picture = progress.StateImage()->geometry();
        QCOMPARE(line.left(), bar.left());
        QCOMPARE(bar.top(), line.bottom() + 1 + 5);
        QCOMPARE(percent.bottom() + 1 + 5, bar.top());
        QVERIFY(percent.left() > line.right() && percent.left() < bar.right());
        QVERIFY(qAbs((line.top() + bar.bottom()) / 2 - picture.center().y()) <= 9);
    }
};

QTEST_MAIN(RecoverWindowTest)
#include "recover_window_test.moc"
