// The window on a slow, failing drive (played through the device's fault
// seam on a corpus image): a heartbeat timer on the window thread shows that
// no read holds it, the progress moves and says which sector is retried,
// and the outcome counts the files that came back with unreadable parts.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

#include "gui/recover/recover_progress.h"
#include "gui/results/result_list.h"
#include "gui/results/result_list_model.h"
#include "gui/results/result_page.h"
#include "gui/start/scan_dial.h"
#include "gui/start/start_page.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin_label.h"
#include "gui_test_support.h"
#include "platform/read_faults.h"
#include "recover/recover_worker.h"
#include "scan/progress.h"
#include "scan/scan_worker.h"
#include "scan_test_support.h"
#include "ntfs/ntfs_geometry.h"
#include "volume/raw_reader.h"

using namespace gui_test;

namespace {

constexpr qint64 kLongestHold = kWindowThreadHoldLimitMs;
constexpr uint32_t kSlowMs = 150;     // a read touching a slow range waits this long

// Ticks every 10 ms on the window thread and keeps the longest gap between ticks.
class Heartbeat {
public:
    Heartbeat() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            // A gap that ends where nothing is watched any more is not counted.
            if (!stopped_ && (!watching_ || watching_()))
                longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        clock_.start();
        timer_.start();
    }
    qint64 Longest() const { return longest_; }
    // Counts only the gaps that end while `watching` holds.
    void WatchWhile(std::function<bool()> watching) { watching_ = std::move(watching); }
    // Keeps the longest gap so far: what follows is no longer watched.
    void Stop() { stopped_ = true; }

private:
    std::function<bool()> watching_;
    bool stopped_ = false;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

// Where the NTFS boot sector puts the $MFT.
uint64_t MftOffset(const std::string& image) {
    auto device = volume::OpenVolume(image);
    auto boot = volume::ReadBytes(device.get(), 0, 512);
    if (!boot)
        return 0;
    const auto geometry = ntfs::ParseGeometry(*boot);
    return geometry ? static_cast<uint64_t>(geometry->MftOffset()) : 0;
}

// A deleted file of about 1.5 MB in one run, as a scan of the window lists it.
const TMyFile* LargeContiguousFile(const std::vector<TMyFile*>& files) {
    for (const TMyFile* f : files)
        if (f->State == kStateExcellent && f->FileSize >= 1'000'000 && f->FileSize <= 2'000'000 &&
            f->CompressionUnit == 0 && f->Runs.size() == 1 && f->Runs[0].OnVolume)
            return f;
    return nullptr;
}

} // namespace

class FailingDriveWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }
    void cleanup() { platform::ClearReadFaults(); }

    void ASlowDriveIsExaminedAndScannedWithoutHoldingTheWindowAndTheRingMoves() {
        const QString image = Corpus("ntfs-basic.img");
        QVERIFY(QFile::exists(image));
        const uint64_t mft = MftOffset(image.toStdString());
        QVERIFY(mft > 0);
        // The boot sector and the first records of the $MFT answer slowly.
        platform::ReadFaultPlan plan;
        plan.Slow.push_back({0, 64 * 1024, kSlowMs});
        plan.Slow.push_back({mft, 64 * 1024, kSlowMs});
        platform::SetReadFaults(image.toStdString(), plan);

        MainHarness main;
        auto& w = *main.window;
        Heartbeat heartbeat;
        w.AddVolumeImages({image});
        QVERIFY(main.WaitForDriveList());
        gui::TFrm_Choose& page = *w.StartPage();
        ChooseOnly(page, {image});
        QList<int> ring;
        QTest::mouseClick(page.ScanButton(), Qt::LeftButton);
        // Watched while the drive is read; building the result page afterwards is the window's own work.
        // Watched while the drive is examined and read; building the result
        // page at the end of the scan is the window's own work.
        bool reading = false;
        heartbeat.WatchWhile([&] {
            reading = reading || !w.Progress().FScanFinished;
            return !reading || !w.Progress().FScanFinished;
        });
        QVERIFY(WaitFor([&] {
            ring << page.Dial()->value();
            return w.ResultPage()->isVisible();
        }, 60000));
        heartbeat.Stop();
        QVERIFY(reading);
        // The ring climbed while the slow reads went on (at the end it is reset for the next scan).
        QVERIFY(ring.size() > 2);
        QVERIFY(*std::max_element(ring.begin(), ring.end()) > ring.first());
        QVERIFY(w.ResultPage()->View().ShownFiles.size() > 0);
        QVERIFY2(heartbeat.Longest() <= kLongestHold,
                 qPrintable(QStringLiteral("the window thread was held %1 ms").arg(heartbeat.Longest())));
    }

    void ARecoveryOverASlowBadSectorKeepsTheWindowSaysWhichSectorAndCountsTheDamagedFile() {
        const std::string image = Corpus("ntfs-basic.img").toStdString();
        int64_t record = -1, lostAt = -1;
        {
            MainHarness healthy;
            QVERIFY(ScanAndShowResults(*healthy.window, image));
            const TMyFile* file = LargeContiguousFile(healthy.window->ScanWorker().AllFiles);
            QVERIFY(file);
            record = file->RecordNo;
            lostAt = file->Runs[0].RunStart + file->FileSize / 2 / 4096 * 4096;
        }
        platform::ReadFaultPlan plan;
        plan.Failing.push_back({static_cast<uint64_t>(lostAt), 4096});
        plan.Slow.push_back({static_cast<uint64_t>(lostAt), 4096, kSlowMs});
        platform::SetReadFaults(image, plan);

        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, image));
        gui::TFrm_Result& page = *w.ResultPage();
        const auto& shown = page.View().ShownFiles;
        int row = -1;
        for (size_t i = 0; i < shown.size() && row < 0; ++i)
            if (shown[i]->RecordNo == record)
                row = static_cast<int>(i);
        QVERIFY(row >= 0);
        page.List()->scrollTo(page.ListModel()->index(row, 0));
        QTest::mouseClick(page.List()->viewport(), Qt::LeftButton, {}, page.List()->CheckZone(row).center());
        QCOMPARE(page.View().CheckedCount, 1);
        const QString folder = dir_.filePath(QStringLiteral("from-a-failing-drive"));
        QVERIFY(QDir().mkpath(folder));
        main.shell.chooser->answers.push_back([folder] { return folder; });

        Heartbeat heartbeat;
        QTest::mouseClick(page.RecoverButton(), Qt::LeftButton);
        gui::Tfrm_RecoverProgress& progress = *w.RecoverProgress();
        // One of the eight sectors of the bad 4 KiB.
        const QRegularExpression retrying(QStringLiteral("Retrying sector (\\d+)"));
        bool saidRetrying = false;
        QVERIFY(QTest::qWaitFor([&] {
            const QRegularExpressionMatch said = retrying.match(progress.MainLine()->text());
            const qint64 sector = said.hasMatch() ? said.captured(1).toLongLong() : -1;
            saidRetrying = saidRetrying || (sector >= lostAt / 512 && sector < lostAt / 512 + 8);
            return progress.Finished();
        }, 60000));
        QVERIFY2(saidRetrying, "the running view never named the sector being retried");
        QCOMPARE(progress.MainLine()->text(), QStringLiteral("1 files recovered, 1 with unreadable parts"));
        QVERIFY(progress.Succeeded());
        // The one file, and the report and its CSV.
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 3);
        QVERIFY(progress.ReportLine()->isVisible());
        QVERIFY2(heartbeat.Longest() <= kLongestHold,
                 qPrintable(QStringLiteral("the window thread was held %1 ms").arg(heartbeat.Longest())));
    }
};

QTEST_MAIN(FailingDriveWindowTest)
#include "failing_drive_window_test.moc"
