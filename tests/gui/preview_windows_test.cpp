// The preview windows on real found files of the corpus images: the hover
// pane beside a row's preview button and the large window its press opens,
// with pictures, texts, Word documents and what cannot be shown; the panes
// made and freed as the mouse moves on; the three large windows and the
// dimming; the large window's text protection, title and moving.
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "gui/preview/hover_previews.h"
#include "gui/preview/loading_sign.h"
#include "gui/preview/picture_view.h"
#include "gui/preview/preview_pane.h"
#include "gui/preview/preview_window.h"
#include "gui/results/result_list.h"
#include "gui/results/result_list_model.h"
#include "gui/results/result_page.h"
#include "gui/results/search_box.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin_label.h"
#include "gui_test_support.h"
#include "platform/read_faults.h"
#include "results/result_view.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "scan/scan_worker.h"
#include "volume/file_data.h"

using namespace gui_test;

namespace {

QString Corpus(const char* name) { return QStringLiteral(DUNRO_CORPUS_DIR "/") + QString::fromLatin1(name); }

QJsonObject Manifest(const QString& image) {
    QFile file(image + QStringLiteral(".manifest.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QJsonObject ManifestEntry(const QString& image, const QString& path) {
    for (const QJsonValue& entry : Manifest(image).value(QStringLiteral("files")).toArray())
        if (entry.toObject().value(QStringLiteral("path")).toString() == path)
            return entry.toObject();
    return {};
}

// Where a file's data begins in its image: the first cluster of its first run.
qint64 DataOffset(const QString& image, const QString& path) {
    const QJsonArray runs = ManifestEntry(image, path).value(QStringLiteral("runs")).toArray();
    if (runs.isEmpty())
        return -1;
    return qint64(runs.first().toArray().first().toInteger()) * Manifest(image).value(QStringLiteral("cluster_size")).toInteger();
}

bool PatchFile(const QString& path, qint64 offset, const QByteArray& bytes) {
    QFile file(path);
    return offset >= 0 && file.open(QIODevice::ReadWrite) && file.seek(offset) && file.write(bytes) == bytes.size();
}

TMyFile* Found(gui::TFram_UndeleteMain& window, const char* name) {
    for (TMyFile* file : window.ScanWorker().AllFiles)
        if (file->FileName == name)
            return file;
    return nullptr;
}

// A deleted 8.3 name has lost its first letter to the deletion mark.
TMyFile* FoundEndingWith(gui::TFram_UndeleteMain& window, const std::string& end) {
    for (TMyFile* file : window.ScanWorker().AllFiles)
        if (file->FileName.size() >= end.size() && file->FileName.compare(file->FileName.size() - end.size(), end.size(), end) == 0)
            return file;
    return nullptr;
}

QByteArray DataOf(const TMyFile& file) {
    QByteArray data;
    const auto status = volume::ReadFileData(file, [&](std::span<const uint8_t> bytes, bool) {
        data.append(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
        return true;
    });
    return status == volume::ReadStatus::Ok ? data : QByteArray();
}

// The row of `file` in the list, scrolled to the list's top.
int ShowRow(gui::TFrm_Result& page, const TMyFile* file) {
    const auto& shown = page.View().ShownFiles;
    const auto it = std::find(shown.begin(), shown.end(), file);
    if (it == shown.end())
        return -1;
    const int row = int(it - shown.begin());
    page.List()->scrollTo(page.ListModel()->index(row, 0), QAbstractItemView::PositionAtTop);
    Settle();
    return row;
}

// Moves the mouse the way the window system reports it, so that the window
// sends the list its moves, enters and leaves.
void MoveMouse(QWidget* widget, const QPoint& at) {
    QWidget* window = widget->window();
    QTest::mouseMove(window->windowHandle(), widget->mapTo(window, at));
}

// Onto a row's preview button from its name: the window system reports a
// move only where the mouse went somewhere new.
void HoverButton(gui::TFrm_Result& page, int row) {
    const QPoint button = page.List()->PreviewButton(row).center();
    MoveMouse(page.List()->viewport(), QPoint(40, button.y()));
    MoveMouse(page.List()->viewport(), button);
    Settle();
}

void PressButton(gui::TFrm_Result& page, int row) {
    QTest::mouseClick(page.List()->viewport(), Qt::LeftButton, {}, page.List()->PreviewButton(row).center());
    Settle();
}

// The newest hover pane, once it has shown its result.
gui::TFrm_Preview_Small* ShownPane(gui::TFrm_Result& page) {
    const auto& panes = page.Hover()->Panes();
    if (panes.empty())
        return nullptr;
    gui::TFrm_Preview_Small* pane = panes.front();
    for (int i = 0; i < 100 && !pane->Finished(); ++i)
        QTest::qWait(20);
    return pane->Finished() ? pane : nullptr;
}

bool WaitFinished(gui::PreviewSurface& surface) {
    for (int i = 0; i < 250 && !surface.Finished(); ++i)
        QTest::qWait(20);
    return surface.Finished();
}

QString DocumentText(const QString& image, const QString& path, int maxLines = -1) {
    QStringList lines;
    for (const QJsonValue& p : ManifestEntry(image, path).value(QStringLiteral("docx_paragraphs")).toArray())
        lines << p.toString();
    if (maxLines >= 0)
        lines = lines.mid(0, maxLines);
    return lines.join(QLatin1Char('\n'));
}

// The one content control a surface shows.
enum class Shows { Nothing, Picture, Text, NoPreview, Loading };
Shows WhatShows(gui::PreviewSurface& s) {
    const int shown = int(s.Picture()->isVisible()) + int(s.Memo()->isVisible()) + int(s.NoPreviewLabel()->isVisible()) +
                      int(s.Loading()->isVisible());
    if (shown > 1)
        return Shows::Nothing;  // never two at once
    if (s.Picture()->isVisible())
        return Shows::Picture;
    if (s.Memo()->isVisible())
        return Shows::Text;
    if (s.NoPreviewLabel()->isVisible())
        return Shows::NoPreview;
    return s.Loading()->isVisible() ? Shows::Loading : Shows::Nothing;
}

// A copy of `image` at `copy` whose reads of `path`'s data wait `ms` each,
// as a drive retrying a sector does; the other files read at full speed.
bool SlowCopy(const QString& image, const QString& copy, const QString& path, uint32_t ms) {
    if (!QFile::exists(copy) && !QFile::copy(image, copy))
        return false;
    const qint64 cluster = Manifest(image).value(QStringLiteral("cluster_size")).toInteger();
    platform::ReadFaultPlan plan;
    for (const QJsonValue& run : ManifestEntry(image, path).value(QStringLiteral("runs")).toArray()) {
        const QJsonArray extent = run.toArray();
        if (extent.size() == 2 && !extent.at(0).isNull())
            plan.Slow.push_back({uint64_t(extent.at(0).toInteger() * cluster), uint64_t(extent.at(1).toInteger() * cluster), ms});
    }
    if (plan.Slow.empty() || cluster <= 0)
        return false;
    platform::SetReadFaults(copy.toStdString(), plan);
    return true;
}

// The longest the window thread went without running a 10 ms timer.
class Heartbeat : public QObject {
public:
    Heartbeat() {
        clock_.start();
        connect(&timer_, &QTimer::timeout, this, [this] { Beat(); });
        timer_.start(10);
    }
    qint64 LongestHoldMs() {
        Beat();
        return longest_;
    }

private:
    void Beat() {
        const qint64 now = clock_.elapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

} // namespace

class PreviewWindowsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString patched_;  // ntfs-basic.img with photo.png 2000 × 100 pixels and beach.jpg damaged

private slots:
    void initTestCase() {
        PrepareEnvironment(dir_);
        const QString basic = Corpus("ntfs-basic.img");
        QVERIFY2(QFile::exists(basic), "the corpus images are built by the corpus_images fixture");
        patched_ = dir_.path() + QStringLiteral("/ntfs-patched.img");
        QVERIFY(QFile::copy(basic, patched_));
        // A picture made here, far wider than the pane: 2000 × 100 stripes,
        // written over the data of the deleted photo.png (40000 bytes).
        QImage wide(2000, 100, QImage::Format_RGB32);
        for (int x = 0; x < wide.width(); ++x)
            for (int y = 0; y < wide.height(); ++y)
                wide.setPixel(x, y, (x / 100) % 2 ? qRgb(0x23, 0x74, 0xd9) : qRgb(0xf0, 0x7f, 0x1b));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(wide.save(&buffer, "PNG"));
        QVERIFY(png.size() < 40000);
        QVERIFY(PatchFile(patched_, DataOffset(basic, QStringLiteral("Users/Bob/Desktop/photo.png")), png));
        // A damaged picture: the first 4 KiB of beach.jpg, its header with
        // them, overwritten; the clusters stay free, so its grade stays.
        QByteArray noise(4096, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 131 + 17) % 251);
        QVERIFY(PatchFile(patched_, DataOffset(basic, QStringLiteral("Users/Ann/Pictures/beach.jpg")), noise));
    }

    void APictureShowsInThePaneAndTheWindowAtItsDrawnSize() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        // beach.jpg is 640 × 480: in the pane the box's 315 × 166 (stretched),
        // in the window its own size, centred in the 880 × 560 box at 15, 42.
        TMyFile* beach = Found(w, "beach.jpg");
        QVERIFY(beach && IsPreviewable(*beach));
        const int row = ShowRow(page, beach);
        HoverButton(page, row);
        gui::TFrm_Preview_Small* pane = ShownPane(page);
        QVERIFY(pane);
        QVERIFY(pane->isVisible());
        QCOMPARE(WhatShows(*pane), Shows::Picture);
        QCOMPARE(pane->Picture()->geometry(), pane->ContentBox());
        QCOMPARE(pane->ContentBox().size(), QSize(315, 166));
        QVERIFY(pane->Picture()->HasPicture());

        PressButton(page, row);
        gui::TFrm_Preview& large = *w.PicturePreview();
        QVERIFY(large.isVisible());
        QVERIFY(page.Hover()->Panes().empty() || !page.Hover()->Panes().front()->isVisible());
        QVERIFY(WaitFinished(large));
        QCOMPARE(WhatShows(large), Shows::Picture);
        QCOMPARE(large.ContentBox(), QRect(15, 42, 880, 560));
        QCOMPARE(large.Picture()->geometry(), QRect(15 + 120, 42 + 40, 640, 480));
        large.CloseButton()->click();
        QVERIFY(!large.isVisible());

        // photo.png keeps its width (64) in both, centred; its height is the
        // one its header declares, or the box's when taller.
        TMyFile* photo = Found(w, "photo.png");
        QVERIFY(photo);
        const QByteArray png = DataOf(*photo);
        QVERIFY(png.startsWith("\x89PNG"));
        const int pw = int(quint8(png[16]) << 24 | quint8(png[17]) << 16 | quint8(png[18]) << 8 | quint8(png[19]));
        const int ph = int(quint8(png[20]) << 24 | quint8(png[21]) << 16 | quint8(png[22]) << 8 | quint8(png[23]));
        const int photoRow = ShowRow(page, photo);
        HoverButton(page, photoRow);
        pane = ShownPane(page);
        QVERIFY(pane);
        QCOMPARE(WhatShows(*pane), Shows::Picture);
        const QRect box = pane->ContentBox();
        const int paneHeight = std::min(ph, box.height());
        QCOMPARE(pane->Picture()->geometry(),
                 QRect(box.left() + qRound((box.width() - pw) / 2.0 + 0.001), box.top() + qRound((box.height() - paneHeight) / 2.0 + 0.001),
                       pw, paneHeight));
        PressButton(page, photoRow);
        QVERIFY(WaitFinished(large));
        QCOMPARE(large.Picture()->size(), QSize(pw, std::min(ph, 560)));
        large.CloseButton()->click();
    }

    void AWidePictureIsDrawn315By100CentredInThePane() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, patched_.toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        TMyFile* photo = Found(w, "photo.png");
        QVERIFY(photo);
        HoverButton(page, ShowRow(page, photo));
        gui::TFrm_Preview_Small* pane = ShownPane(page);
        QVERIFY(pane);
        QCOMPARE(WhatShows(*pane), Shows::Picture);
        const QRect box = pane->ContentBox();
        QCOMPARE(pane->Picture()->geometry(), QRect(box.left(), box.top() + 33, 315, 100));
    }

    void ADamagedOrOverwrittenPictureShowsNoPreview() {
        {
            MainHarness main;
            auto& w = *main.window;
            QVERIFY(ScanAndShowResults(w, patched_.toStdString()));
            gui::TFrm_Result& page = *w.ResultPage();
            TMyFile* beach = Found(w, "beach.jpg");
            QVERIFY(beach && IsPreviewable(*beach));
            const int row = ShowRow(page, beach);
            HoverButton(page, row);
            gui::TFrm_Preview_Small* pane = ShownPane(page);
            QVERIFY(pane);
            QCOMPARE(WhatShows(*pane), Shows::NoPreview);
            QCOMPARE(pane->NoPreviewLabel()->text(), QStringLiteral("No Preview Available"));
            PressButton(page, row);
            gui::TFrm_Preview& large = *w.PicturePreview();
            QVERIFY(WaitFinished(large));
            QCOMPARE(WhatShows(large), Shows::NoPreview);
            large.CloseButton()->click();
        }
        // On fat32-basic scan0001.bmp's clusters went to a later file.
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("fat32-basic.img").toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        TMyFile* scan = FoundEndingWith(w, "can0001.bmp");
        QVERIFY(scan);
        QVERIFY(!ManifestEntry(Corpus("fat32-basic.img"), QStringLiteral("Photos/scan0001.bmp"))
                     .value(QStringLiteral("content_intact"))
                     .toBool(true));
        const int row = ShowRow(page, scan);
        HoverButton(page, row);
        gui::TFrm_Preview_Small* pane = ShownPane(page);
        QVERIFY(pane);
        QCOMPARE(WhatShows(*pane), Shows::NoPreview);
        PressButton(page, row);
        QVERIFY(WaitFinished(*w.PicturePreview()));
        QCOMPARE(WhatShows(*w.PicturePreview()), Shows::NoPreview);
    }

    void ATextFileShowsItsText() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        TMyFile* notes = Found(w, "notes.txt");
        QVERIFY(notes);
        const QString text = QString::fromUtf8(DataOf(*notes));
        QVERIFY(text.size() > 100);
        const int row = ShowRow(page, notes);
        HoverButton(page, row);
        gui::TFrm_Preview_Small* pane = ShownPane(page);
        QVERIFY(pane);
        QCOMPARE(WhatShows(*pane), Shows::Text);
        QCOMPARE(pane->Memo()->toPlainText(), text);

        PressButton(page, row);
        gui::TFrm_Preview& large = *w.PicturePreview();
        QVERIFY(WaitFinished(large));
        QCOMPARE(WhatShows(large), Shows::Text);
        QCOMPARE(large.Memo()->toPlainText(), text);
        QCOMPARE(large.Memo()->textCursor().position(), 0);
        QCOMPARE(large.FullTitle(), QStringLiteral("Dunro Data Recovery - notes.txt"));
        large.CloseButton()->click();
    }

    void AWordDocumentShowsItsParagraphs() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        TMyFile* report = Found(w, "report.docx");
        QVERIFY(report && IsPreviewable(*report));
        const QString path = QStringLiteral("Users/Ann/Documents/report.docx");
        QVERIFY(!DocumentText(Corpus("ntfs-basic.img"), path).isEmpty());
        const int row = ShowRow(page, report);
        HoverButton(page, row);
        gui::TFrm_Preview_Small* pane = ShownPane(page);
        QVERIFY(pane);
        QCOMPARE(WhatShows(*pane), Shows::Text);
        // The pane asks for ten lines; the walk stops once it holds more.
        QCOMPARE(pane->Memo()->toPlainText(), DocumentText(Corpus("ntfs-basic.img"), path, 11));

        PressButton(page, row);
        gui::TFrm_Preview& document = *w.DocumentPreview();
        QVERIFY(document.isVisible());
        QVERIFY(!w.PicturePreview()->isVisible());
        QVERIFY(WaitFinished(document));
        QCOMPARE(WhatShows(document), Shows::Text);
        QCOMPARE(document.Memo()->toPlainText(), DocumentText(Corpus("ntfs-basic.img"), path));
        QCOMPARE(document.Memo()->textCursor().position(), 0);
        document.CloseButton()->click();
    }

    void MovingAlongPreviewButtonsMakesOnePanePerRowAndFreesTheEarlierOnes() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        // Every row with a preview button in the first screenful.
        QList<int> rows;
        for (int row = 0; rows.size() < 4 && row < page.ListModel()->rowCount(); ++row)
            if (!page.List()->PreviewButton(row).isEmpty() && page.List()->PreviewButton(row).bottom() < page.List()->viewport()->height())
                rows << row;
        QCOMPARE(rows.size(), 4);
        QList<QPointer<gui::TFrm_Preview_Small>> made;
        MoveMouse(page.List()->viewport(), QPoint(40, page.List()->PreviewButton(rows.front()).center().y()));
        for (int row : rows) {
            // Straight on from one button to the next, no time to finish.
            MoveMouse(page.List()->viewport(), page.List()->PreviewButton(row).center());
            QCOMPARE(page.Hover()->Panes().size() > 0, true);
            made << page.Hover()->Panes().front();
            QVERIFY(made.back()->isVisible());
            for (int k = 0; k + 1 < made.size(); ++k)
                QVERIFY(!made[k] || !made[k]->isVisible());
        }
        QVERIFY(page.Hover()->PreviewShown());
        // The same row again changes nothing.
        MoveMouse(page.List()->viewport(), page.List()->PreviewButton(rows.back()).center() + QPoint(1, 0));
        QCOMPARE(page.Hover()->Panes().front(), made.back().data());
        // Once their workers have stopped, the earlier panes are freed; the last one shows.
        for (int i = 0; i < 200 && (made[0] || made[1] || made[2]); ++i)
            QTest::qWait(20);
        QVERIFY(!made[0] && !made[1] && !made[2]);
        QCOMPARE(page.Hover()->Panes().size(), size_t(1));
        QVERIFY(ShownPane(page) == made.back().data());
        QVERIFY(made.back()->isVisible());
        // Off the button: no pane left.
        MoveMouse(page.List()->viewport(), page.List()->PreviewButton(rows.back()).center() - QPoint(60, 0));
        QVERIFY(!page.Hover()->PreviewShown());
        QVERIFY(!made.back());
        QVERIFY(page.Hover()->Panes().empty());
    }

    void APaneNearTheBottomPointsDownAndOneNearTheTopPointsUp() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        gui::ResultList& list = *page.List();
        // The list scrolled to its end; a row with a preview button in its
        // lower half, and one in its upper half.
        list.scrollToBottom();
        Settle();
        const int middle = list.viewport()->height() / 2;
        int row = -1, upperRow = -1;
        for (int r = 0; r < page.ListModel()->rowCount(); ++r) {
            const QRect button = list.PreviewButton(r);
            if (button.isEmpty() || button.top() < 0 || button.bottom() >= list.viewport()->height())
                continue;
            if (button.center().y() > middle + 20)
                row = r;
            else if (button.center().y() < middle - 20 && upperRow < 0)
                upperRow = r;
        }
        QVERIFY(row >= 0 && upperRow >= 0);
        HoverButton(page, row);
        gui::TFrm_Preview_Small* pane = ShownPane(page);
        QVERIFY(pane);
        QVERIFY(!pane->ArrowUp());
        const QRect button(list.viewport()->mapToGlobal(list.PreviewButton(row).topLeft()), list.PreviewButton(row).size());
        const int rowTop = list.viewport()->mapToGlobal(QPoint(0, list.rowViewportPosition(row))).y();
        QVERIFY(pane->BodyGeometry().bottom() < rowTop);
        QVERIFY(std::abs(pane->PointerTip().y() - rowTop) <= 3);
        QVERIFY(std::abs(pane->PointerTip().x() - button.center().x()) <= 1);

        row = upperRow;
        HoverButton(page, row);
        pane = ShownPane(page);
        QVERIFY(pane);
        QVERIFY(pane->ArrowUp());
        const int rowBottom = list.viewport()->mapToGlobal(QPoint(0, list.rowViewportPosition(row) + list.rowHeight(row))).y();
        QVERIFY(pane->BodyGeometry().top() > rowBottom);
        QVERIFY(std::abs(pane->PointerTip().y() - rowBottom) <= 3);
    }

    void TheHoverBandIsThePreviewButton() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        gui::ResultList& list = *page.List();
        const int row = ShowRow(page, Found(w, "notes.txt"));
        const QRect button = list.PreviewButton(row);
        const auto [from, to] = page.Hover()->HoverBand();
        QCOMPARE(from, button.left() - 1);
        QCOMPARE(to, button.right() + 1);
        // Beside the button nothing shows; on its edge a pane does.
        MoveMouse(list.viewport(), QPoint(from, button.center().y()));
        QVERIFY(page.Hover()->Panes().empty());
        MoveMouse(list.viewport(), QPoint(button.left(), button.center().y()));
        QCOMPARE(page.Hover()->Panes().size(), size_t(1));
        // Leaving the list (for the search box above it) closes it.
        MoveMouse(page.Search(), page.Search()->rect().center());
        QVERIFY(!page.Hover()->PreviewShown());
        QVERIFY(page.Hover()->Panes().empty() || !page.Hover()->Panes().front()->isVisible());
        // Coming back straight onto the same button shows it again.
        MoveMouse(list.viewport(), button.center());
        QVERIFY(page.Hover()->PreviewShown());
        QVERIFY(page.Hover()->Panes().front()->isVisible());
    }

    void WithASidewaysScrollBarTheBandIsThePreviewColumnOnceScrolledToTheEnd() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        gui::ResultList& list = *page.List();
        const int row = ShowRow(page, Found(w, "notes.txt"));
        list.setColumnWidth(results::kColumnName, list.columnWidth(results::kColumnName) + 400);
        Settle();
        QScrollBar* sideways = list.horizontalScrollBar();
        QVERIFY(sideways->isVisible());
        sideways->setValue(0);
        Settle();
        auto [from, to] = page.Hover()->HoverBand();
        QVERIFY(from >= to);
        sideways->setValue(sideways->maximum());
        Settle();
        std::tie(from, to) = page.Hover()->HoverBand();
        const int left = list.columnViewportPosition(results::kColumnPreview);
        QCOMPARE(from, left);
        QCOMPARE(to, left + list.columnWidth(results::kColumnPreview));
        // Beside the drawn button, still in the column: a pane.
        MoveMouse(list.viewport(), QPoint(left + 2, list.PreviewButton(row).center().y()));
        QCOMPARE(page.Hover()->Panes().size(), size_t(1));
        QVERIFY(page.Hover()->Panes().front()->isVisible());
    }

    void ADocumentWhileTheDocumentWindowLoadsShowsTheBusyWindow() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        const int row = ShowRow(page, Found(w, "report.docx"));
        gui::TFrm_Preview& document = *w.DocumentPreview();
        gui::TFrm_Preview& busy = *w.BusyPreview();
        QVERIFY(!busy.isWindow());
        QVERIFY(document.isWindow());
        // Opened and closed at once: the document window has not taken its
        // worker's end yet when the next press comes (no event runs between).
        const QPoint button = page.List()->PreviewButton(row).center();
        QTest::mouseClick(page.List()->viewport(), Qt::LeftButton, {}, button);
        QVERIFY(document.isVisible());
        QVERIFY(w.Dimmed());
        document.CloseButton()->click();
        QVERIFY(!w.Dimmed());
        QVERIFY(!document.Finished());
        QTest::mouseClick(page.List()->viewport(), Qt::LeftButton, {}, button);
        QVERIFY(busy.isVisible());
        QVERIFY(!document.isVisible());
        QCOMPARE(WhatShows(busy), Shows::NoPreview);
        QCOMPARE(busy.NoPreviewLabel()->text(), QStringLiteral("No Preview Available"));
        QCOMPARE(busy.pos(), gui::TFrm_Preview::kOffset);
        QVERIFY(w.Dimmed());
        busy.CloseButton()->click();
        QVERIFY(!busy.isVisible());
        QVERIFY(!w.Dimmed());
        // The document window ends its cancelled request hidden and idle; then it opens again.
        QVERIFY(WaitFinished(document));
        QVERIFY(!document.isVisible());
        QVERIFY(!document.PollTimer().isActive());
        PressButton(page, row);
        QVERIFY(document.isVisible());
        QVERIFY(WaitFinished(document));
        QCOMPARE(WhatShows(document), Shows::Text);
        document.CloseButton()->click();
    }

    void ClosingWhileLoadingCancelsAndReopeningStartsOnceThatRequestHasEnded() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        gui::TFrm_Preview& large = *w.PicturePreview();
        TMyFile* beach = Found(w, "beach.jpg");
        TMyFile* notes = Found(w, "notes.txt");
        large.Open(beach);
        QVERIFY(large.isVisible());
        QCOMPARE(WhatShows(large), Shows::Loading);
        QVERIFY(large.PollTimer().isActive());
        QVERIFY(large.LoadingLabel()->isVisible());
        large.CloseButton()->click();
        QVERIFY(large.Worker().State.CancelRequest);
        QVERIFY(!large.isVisible());
        // The cancelled request ends hidden and idle, showing nothing.
        QVERIFY(WaitFinished(large));
        QVERIFY(!large.isVisible());
        QVERIFY(!large.PollTimer().isActive());
        QVERIFY(!large.Picture()->HasPicture());
        // Closed while loading and opened again at once: the new request
        // starts (its flags fresh) once the cancelled one has ended, and
        // shows its own file.
        large.Open(beach);
        large.CloseButton()->click();
        large.Open(notes);
        QVERIFY(!large.Worker().State.CancelRequest);
        QCOMPARE(WhatShows(large), Shows::Loading);
        QVERIFY(WaitFinished(large));
        QVERIFY(large.isVisible());
        QCOMPARE(WhatShows(large), Shows::Text);
        QCOMPARE(large.Memo()->toPlainText(), QString::fromUtf8(DataOf(*notes)));
        QCOMPARE(large.FullTitle(), QStringLiteral("Dunro Data Recovery - notes.txt"));
        large.CloseButton()->click();
        // Closed after its result: its content is given back.
        QVERIFY(large.Worker().Content().empty());
        QVERIFY(page.isVisible());
    }

    void AfterClosingTheResultPageIsBackUnlessTheProgramIsLeft() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        gui::TFrm_Preview& large = *w.PicturePreview();
        const int row = ShowRow(page, Found(w, "notes.txt"));
        PressButton(page, row);
        QVERIFY(w.Dimmed());
        QVERIFY(!page.isEnabled());
        QCOMPARE(main.log->Of(gui::Msg::Dimming).back().wparam, uintptr_t(0));
        page.hide();
        large.CloseButton()->click();
        QCOMPARE(main.log->Of(gui::Msg::Dimming).back().wparam, uintptr_t(1));
        QVERIFY(main.log->Has(gui::Msg::PreviewClosed));
        QVERIFY(page.isVisible());
        QVERIFY(!w.Dimmed());

        main.log->Clear();
        PressButton(page, row);
        page.hide();
        w.Progress().FAbort = true;
        large.CloseButton()->click();
        QVERIFY(!main.log->Has(gui::Msg::PreviewClosed));
        QVERIFY(!page.isVisible());
        QVERIFY(!w.Dimmed());
        w.Progress().FAbort = false;
    }

    // The window manager's close (Alt+F4) must not leave the main window
    // dimmed with nothing in front to undim it.
    void ClosingByTheSystemUndimsLikeTheCloseButton() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        gui::TFrm_Preview& large = *w.PicturePreview();
        const int row = ShowRow(page, Found(w, "notes.txt"));
        PressButton(page, row);
        QVERIFY(w.Dimmed());
        large.close();
        QVERIFY(!large.isVisible());
        QVERIFY(!w.Dimmed());
        QVERIFY(page.isVisible());
        QVERIFY(page.isEnabled());
        QVERIFY(large.Worker().State.CancelRequest);
    }

    void TheLargeWindowPlacesItselfFitsItsTitleAndMovesByItsBackground() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Preview& large = *w.PicturePreview();
        TMyFile* longName = nullptr;
        for (TMyFile* f : w.ScanWorker().AllFiles)
            if (f->FileName.size() > 150 && f->PreviewKind == kPreviewText)
                longName = f;
        QVERIFY(longName);
        large.Open(longName);
        QCOMPARE(large.pos(), w.frameGeometry().topLeft() + gui::TFrm_Preview::kOffset);
        const QString full = QStringLiteral("Dunro Data Recovery - ") + QString::fromStdString(longName->FileName);
        QCOMPARE(large.FullTitle(), full);
        QCOMPARE(large.TitleLabel()->toolTip(), full);
        QCOMPARE(large.TitleLabel()->width(), large.width() - 100);
        QVERIFY(large.TitleLabel()->text().endsWith(QChar(0x2026)));
        QVERIFY(large.TitleLabel()->text().size() < full.size());
        QCOMPARE(large.accessibleName(), full);
        large.CloseButton()->click();

        TMyFile* notes = Found(w, "notes.txt");
        large.Open(notes);
        const QString shortTitle = QStringLiteral("Dunro Data Recovery - notes.txt");
        QCOMPARE(large.TitleLabel()->text(), shortTitle);
        QCOMPARE(large.TitleLabel()->width(), large.TitleLabel()->fontMetrics().horizontalAdvance(shortTitle));
        // Dragged by its background.
        const QPoint before = large.pos();
        QWidget* background = large.Background();
        QTest::mousePress(background, Qt::LeftButton, {}, QPoint(400, 300));
        QTest::mouseMove(background, QPoint(430, 320));
        QTest::mouseRelease(background, Qt::LeftButton, {}, QPoint(430, 320));
        Settle();
        QCOMPARE(large.pos(), before + QPoint(30, 20));
        large.CloseButton()->click();
    }

    void TheLargeWindowsTextCannotBeCopiedOut() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Preview& large = *w.PicturePreview();
        large.Open(Found(w, "notes.txt"));
        QVERIFY(WaitFinished(large));
        QPlainTextEdit* memo = large.Memo();
        QVERIFY(memo->isReadOnly());
        QCOMPARE(memo->contextMenuPolicy(), Qt::NoContextMenu);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        memo->setFocus();
        memo->selectAll();
        QVERIFY(!memo->textCursor().selectedText().isEmpty());
        QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(memo, Qt::Key_Insert, Qt::ControlModifier);
        QTest::keyClick(memo, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
        // Esc closes the window like its close button.
        QTest::keyClick(memo, Qt::Key_Escape);
        QVERIFY(!large.isVisible());
        QVERIFY(!w.Dimmed());
    }

    void ThePaneAndTheWindowNameTheirControls() {
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
        gui::TFrm_Result& page = *w.ResultPage();
        const int row = ShowRow(page, Found(w, "beach.jpg"));
        HoverButton(page, row);
        gui::TFrm_Preview_Small* pane = ShownPane(page);
        QVERIFY(pane);
        QCOMPARE(pane->accessibleName(), QStringLiteral("Preview: beach.jpg"));
        QCOMPARE(pane->Picture()->accessibleName(), pane->accessibleName());
        PressButton(page, row);
        gui::TFrm_Preview& large = *w.PicturePreview();
        QCOMPARE(large.Loading()->accessibleName(), QStringLiteral("Loading..."));
        QVERIFY(WaitFinished(large));
        QCOMPARE(large.CloseButton()->accessibleName(), QStringLiteral("Close"));
        QCOMPARE(large.Picture()->accessibleName(), QStringLiteral("Dunro Data Recovery - beach.jpg"));
        QCOMPARE(large.Memo()->accessibleName(), QStringLiteral("Dunro Data Recovery - beach.jpg"));
        QCOMPARE(large.NoPreviewLabel()->accessibleName().isEmpty() ? large.NoPreviewLabel()->text() : large.NoPreviewLabel()->accessibleName(),
                 QStringLiteral("No Preview Available"));
        large.CloseButton()->click();
    }

    // Closing a preview only cancels its worker, which may still be inside a
    // read of a slow drive when Back and SCAN free the last scan's records.
    void APreviewReadStillPendingWhenANewScanStartsTouchesNoFreedRecord() {
        const QString image = Corpus("ntfs-fragmented.img");
        const QString slow = dir_.path() + QStringLiteral("/ntfs-slow-scan.img");
        QVERIFY(SlowCopy(image, slow, QStringLiteral("Compressed/compressed-deleted.txt"), 1500));
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, slow.toStdString()));
        TMyFile* compressed = Found(w, "compressed-deleted.txt");
        QVERIFY(compressed && compressed->CompressionUnit > 0 && IsPreviewable(*compressed));
        gui::TFrm_Preview& large = *w.PicturePreview();
        w.OpenPreview(compressed);
        QTest::qWait(200);
        QVERIFY(!large.Worker().State.WorkDone);
        large.CloseButton()->click();
        QVERIFY(w.ResultPage()->isVisible());
        w.ShowStartPage();
        w.ScanWorker().StartScan();
        w.ScanWorker().WaitUntilIdle();
        w.Progress().FScanIdle = true;
        w.Progress().FCloseAllowed = true;
        // The cancelled read returns into what the new scan made of the records.
        QVERIFY(WaitFor([&] { return large.Worker().State.WorkDone.load(); }, 15000));
        Settle();
        QVERIFY(!large.isVisible());
        QVERIFY(!w.Dimmed());
    }

    // The window thread never waits for a worker: a preview opened while the
    // worker still reads for the closed one (5 s a read) shows the loading
    // sign and its file, from a fresh worker.
    void ReplacingAPreviewWhoseReadHangsNeverHoldsTheWindowThread() {
        const QString image = Corpus("ntfs-fragmented.img");
        const QString slow = dir_.path() + QStringLiteral("/ntfs-slow-replace.img");
        QVERIFY(SlowCopy(image, slow, QStringLiteral("Compressed/compressed-deleted.txt"), 5000));
        MainHarness main;
        auto& w = *main.window;
        QVERIFY(ScanAndShowResults(w, slow.toStdString()));
        TMyFile* hanging = Found(w, "compressed-deleted.txt");
        TMyFile* next = Found(w, "compressed-small.txt");
        QVERIFY(hanging && next && IsPreviewable(*next));
        gui::TFrm_Preview& large = *w.PicturePreview();
        w.OpenPreview(hanging);
        QTest::qWait(300);
        Heartbeat heartbeat;
        QTest::qWait(30);
        large.CloseButton()->click();
        w.OpenPreview(next);
        QVERIFY(large.isVisible());
        QCOMPARE(WhatShows(large), Shows::Loading);
        QVERIFY(WaitFor([&] { return large.Finished() && WhatShows(large) == Shows::Text; }, 20000));
        QVERIFY(large.Memo()->toPlainText().size() > 0);
        QCOMPARE(large.FullTitle(), QStringLiteral("Dunro Data Recovery - compressed-small.txt"));
        const qint64 held = heartbeat.LongestHoldMs();
        qInfo("the window thread was held at most %lld ms while the preview was replaced", held);
        QVERIFY2(held < kWindowThreadHoldLimitMs, qPrintable(QStringLiteral("held %1 ms").arg(held)));
        large.CloseButton()->click();
        // The worker left in the read is freed once the read has returned.
        QCOMPARE(large.RetiredWorkers(), size_t(1));
        QVERIFY(WaitFor([&] { return large.RetiredWorkers() == 0; }, 15000));
    }

    void TheWindowsTextsComeInGerman() {
        WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("Language=Deutsch")});
        {
            MainHarness main;
            auto& w = *main.window;
            QVERIFY(ScanAndShowResults(w, Corpus("ntfs-basic.img").toStdString()));
            w.BusyPreview()->Open(nullptr);
            QCOMPARE(w.BusyPreview()->NoPreviewLabel()->text(), QStringLiteral("Keine Vorschau verfügbar"));
            QCOMPARE(w.BusyPreview()->CloseButton()->accessibleName(), QStringLiteral("Schließen"));
            QCOMPARE(w.BusyPreview()->LoadingLabel()->text(), QStringLiteral("Wird geladen..."));
            w.BusyPreview()->CloseButton()->click();
        }
        WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("Language=English")});
    }
};

QTEST_MAIN(PreviewWindowsTest)
#include "preview_windows_test.moc"
