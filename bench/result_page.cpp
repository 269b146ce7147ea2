// Times the result page offscreen, on the scan of a volume image or on a
// synthetic result made in memory, and prints each figure beside its target:
//   result_page_bench IMAGE
//   result_page_bench --synthetic COUNT
// Every figure is what the user waits for: the page's own handler and the
// painting that shows its outcome.
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "gui/app/main_window.h"
#include "gui/results/result_list.h"
#include "gui/results/result_list_model.h"
#include "gui/results/result_page.h"
#include "gui/results/result_trees.h"
#include "gui/results/search_box.h"
#include "gui/widgets/report_list.h"
#include "gui/widgets/skin.h"
#include "platform/drives.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "scan/scan_worker.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void Settle() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// What the screen would show: the widget painted into an image.
void Paint(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    widget.render(&image);
}

// Heap bytes in use, the large blocks the allocator maps on their own included.
size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

bool ScanImage(gui::TFram_UndeleteMain& main, const std::string& image) {
    TThreadScan& worker = main.ScanWorker();
    if (!worker.DiskFor(image))
        return false;
    main.TypeSelection().SelectAll();
    main.LocationSelection().AddDriver(image);
    main.LocationSelection().AddWholeDriver(image);
    worker.StartScan();
    worker.WaitUntilIdle();
    return main.Progress().FResultCount > 0;
}

// A result of `count` found files on one NTFS drive, in 100 × 100 folders,
// with names, sizes, grades and dates spread as on a used disk.
void Synthesize(gui::TFram_UndeleteMain& main, size_t count) {
    TThreadScan& worker = main.ScanWorker();
    TScanFileType types;
    auto disk = std::make_unique<TMyDisk>("S:", platform::kDriveFixed, worker.Context());
    disk->Drive->FileSystem = kFileSystemNtfs;
    disk->Caption = "Local Disk (S:)";
    disk->Selected = true;
    auto folder = [&](TMyFolder* parent, std::string name) {
        auto f = std::make_unique<TMyFolder>();
        f->Drive = disk->Drive.get();
        f->FolderName = std::move(name);
        f->ListIndex = static_cast<int32_t>(disk->Folders.size());
        f->RecordNo = parent ? 100 + f->ListIndex : 5;
        f->ParentIndex = parent ? parent->ListIndex : kNoParent;
        if (parent)
            parent->SubFolders.push_back(f.get());
        disk->Folders.push_back(std::move(f));
        return disk->Folders.back().get();
    };
    TMyFolder* root = folder(nullptr, "");
    std::vector<TMyFolder*> leaves;
    for (int d = 0; d < 100; ++d) {
        TMyFolder* dept = folder(root, "Department " + std::to_string(d));
        for (int s = 0; s < 100; ++s)
            leaves.push_back(folder(dept, "Project " + std::to_string(s)));
    }
    static const char* const kPatterns[] = {"IMG_%04u.JPG",        "DSC_%05u.jpg",   "Screenshot %u.png", "Document (%u).docx",
                                            "report_%u.pdf",       "Track %02u.mp3", "notes %u.txt",      "%08x.tmp",
                                            "setup_%u.exe",        "archive %u.zip", "video_%u.mp4",      "budget %u.xlsx",
                                            "Scan %u from office.pdf", "data%u.bin", "photo %u.png",      "README %u"};
    std::mt19937 random(20240611);
    char name[96];
    for (size_t i = 0; i < count; ++i) {
        auto f = std::make_unique<TMyFile>();
        TMyFolder* in = leaves[i % leaves.size()];
        std::snprintf(name, sizeof name, kPatterns[random() % std::size(kPatterns)], static_cast<unsigned>(random() % 100000));
        f->FileName = name;
        f->Extension = volume::ExtensionOf(f->FileName);
        f->Drive = disk->Drive.get();
        f->FolderPath = disk->Folders[static_cast<size_t>(in->ParentIndex)]->FolderName + "\\" + in->FolderName + "\\";
        f->FolderIndex = in->ListIndex;
        f->InFolder = true;
        f->RecordNo = static_cast<int64_t>(1000 + i);
        f->State = static_cast<uint8_t>(1 + random() % 3);
        f->FileSize = static_cast<int64_t>(random() % 4'000'000);
        f->HasTimes = random() % 20 != 0;
        f->ModifiedTime = 130'000'000'000'000'000ull + (random() % 3'000'000'000ull) * 10'000'000ull / 10;
        f->PreviewKind = types.PreviewKindOf(f->Extension);
        f->Accepted = true;
        in->Files.push_back(f.get());
        worker.Categories[static_cast<size_t>(types.CategoryOf(f->Extension))]->CountExtension(f->Extension);
        worker.AllFiles.push_back(f.get());
        disk->Files.push_back(std::move(f));
    }
    for (TMyFolder* leaf : leaves) {
        leaf->FileCount = static_cast<uint32_t>(leaf->Files.size());
        disk->Folders[static_cast<size_t>(leaf->ParentIndex)]->FileCount += leaf->FileCount;
        root->FileCount += leaf->FileCount;
    }
    disk->AcceptedCount = static_cast<uint32_t>(count);
    worker.Disks.push_back(std::move(disk));
    main.Progress().FResultCount = static_cast<uint32_t>(count);
    main.Progress().FScanFinished = true;
}

struct Figure {
    const char* what;
    double value;
    double target;
    const char* unit;
};

} // namespace

int main(int argc, char** argv) {
    const bool synthetic = argc == 3 && std::string(argv[1]) == "--synthetic";
    if (argc != 2 && !synthetic) {
        std::fprintf(stderr, "usage: result_page_bench IMAGE | --synthetic COUNT\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
    QApplication app(argc, argv);
    skin::Apply(app);

    gui::TFram_UndeleteMain main;
    main.SetProcessEnd([] {});
    main.show();
    Settle();
    const size_t synthesized = synthetic ? std::stoul(argv[2]) : 0;
    if (synthetic)
        Synthesize(main, synthesized);
    else if (!ScanImage(main, argv[1])) {
        std::fprintf(stderr, "result_page_bench: %s gives no found files\n", argv[1]);
        return 3;
    }
    const size_t files = main.Progress().FResultCount;
    gui::TFrm_Result& page = *main.ResultPage();
    gui::ResultList& list = *page.List();
    const bool large = files > 500'000;
    std::vector<Figure> figures;

    // Load: from the end of the scan to the page painted with both trees and the first rows.
    const size_t heapBefore = HeapInUse();
    std::vector<double> loads;
    for (int round = 0; round < 5; ++round) {
        const auto t = Clock::now();
        page.LoadResults();
        main.ShowResultPage();
        Paint(page);
        Paint(*page.Folders());
        loads.push_back(Ms(t));
    }
    Settle();
    const double bytesPerFile = static_cast<double>(HeapInUse() - std::min(HeapInUse(), heapBefore)) / static_cast<double>(files);
    figures.push_back({"load results (first / median of 5)", Median(loads), large ? 1000.0 : 150.0, "ms"});
    const double firstLoad = loads.front();

    // One search pass after a keystroke: the typed text, then Enter instead of the 100 ms wait.
    QTest::mouseClick(page.Search()->Edit(), Qt::LeftButton);
    std::vector<double> searches;
    for (const char* text : {"e", "fi", "ile_0", "IMG", "zzz", "a", ".t"}) {
        page.Search()->Edit()->clear();
        QTest::keyClicks(page.Search()->Edit(), QString::fromLatin1(text));
        const auto t = Clock::now();
        QTest::keyClick(page.Search()->Edit(), Qt::Key_Return);
        Paint(*list.viewport());
        searches.push_back(Ms(t));
    }
    figures.push_back({"one search pass (name substring)", Median(searches), large ? 150.0 : 20.0, "ms"});

    // Sorting and checking work on every found file: the list of all locations.
    page.LoadResults();
    Settle();
    auto sortBy = [&](int column) {
        QHeaderView* header = list.horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
        std::vector<double> times;
        for (int round = 0; round < 5; ++round) {
            const auto t = Clock::now();
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
            Paint(*list.viewport());
            times.push_back(Ms(t));
        }
        return Median(times);
    };
    figures.push_back({"sort by File Name", sortBy(0), large ? 800.0 : 80.0, "ms"});
    figures.push_back({"sort by Size", sortBy(3), large ? 300.0 : 30.0, "ms"});

    RdCheckHeader* header = list.CheckHeader();
    const QPoint box(header->sectionViewportPosition(0) + 14, header->height() / 2);
    std::vector<double> checks;
    for (int round = 0; round < 9; ++round) {
        const auto t = Clock::now();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, box);  // check all shown
        Paint(*list.viewport());
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, box);  // uncheck all
        Paint(*list.viewport());
        checks.push_back(Ms(t));
    }
    figures.push_back({"check all shown, then uncheck all", Median(checks), large ? 80.0 : 10.0, "ms"});

    // Scrolling: a screenful of rows painted at places all over the list.
    std::vector<double> paints;
    QScrollBar* bar = list.verticalScrollBar();
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        bar->setValue(static_cast<int>(random() % static_cast<unsigned>(std::max(1, bar->maximum()))));
        const auto t = Clock::now();
        Paint(*list.viewport());
        paints.push_back(Ms(t));
    }
    figures.push_back({"painting a screenful of rows", Median(paints), 4.0, "ms"});
    figures.push_back({"memory the page adds per found file", bytesPerFile, 40.0, "bytes"});

    std::printf("%s, %zu found files (first load %.1f ms)\n",
                synthetic ? "synthetic result in memory" : argv[1], files, firstLoad);
    bool allMet = true;
    for (const Figure& f : figures) {
        const bool met = f.value <= f.target;
        allMet = allMet && met;
        std::printf("  %-40s %9.1f %-5s  target <= %6.0f %-5s  %s\n", f.what, f.value, f.unit, f.target, f.unit,
                    met ? "met" : "NOT MET");
    }
    std::fflush(stdout);
    // The records go back to the system with the process.
    std::_Exit(allMet ? 0 : 1);
}
