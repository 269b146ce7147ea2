// The skinned controls that the pages to come are built from: what each one
// does with a click or a key, and what it tells a screen reader.
#include <QAccessible>
#include <QFile>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardItemModel>
#include <QTest>

#include "gui/widgets/check_tree.h"
#include "gui/widgets/hint_balloon.h"
#include "gui/widgets/progress_bar.h"
#include "gui/widgets/report_list.h"
#include "gui/widgets/skin.h"
#include "gui/widgets/skin_label.h"
#include "gui_test_support.h"

using namespace gui_test;

namespace {

std::unique_ptr<QStandardItemModel> Rows(int count) {
    auto model = std::make_unique<QStandardItemModel>(count, 2);
    model->setHorizontalHeaderLabels({QStringLiteral("File Name"), QStringLiteral("Size")});
    for (int row = 0; row < count; ++row) {
        auto* name = new QStandardItem(QStringLiteral("photo%1.jpg").arg(row));
        name->setCheckable(true);
        name->setCheckState(Qt::Unchecked);
        model->setItem(row, 0, name);
        model->setItem(row, 1, new QStandardItem(QStringLiteral("%1 KB").arg(row + 1)));
    }
    return model;
}

} // namespace

class WidgetsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }

    void LabelDrawsMarkedRunsAndReadsAsPlainText() {
        const RdLabel::Runs runs = RdLabel::Parse(QStringLiteral("Recovering the selected <a>12</a> files"));
        QCOMPARE(runs.plain, QStringLiteral("Recovering the selected 12 files"));
        QCOMPARE(runs.accents.size(), 1);
        QCOMPARE(runs.accents[0].start, 24);
        QCOMPARE(runs.accents[0].length, 2);
        RdLabel label;
        label.SetMarkedText(QStringLiteral("<a>3</a> of <a>7</a>"));
        QCOMPARE(QAccessible::queryAccessibleInterface(&label)->text(QAccessible::Name), QStringLiteral("3 of 7"));
        // An unclosed mark is text, not a run.
        QCOMPARE(RdLabel::Parse(QStringLiteral("a <a>b")).plain, QStringLiteral("a <a>b"));
    }

    void LabelFittedToAWidthCutsWithAnEllipsisAfterTwoLinesAndHintsTheWholeText() {
        RdLabel label;
        label.SetMarkedText(QStringLiteral("Recovering the selected <a>12</a> files"));
        label.FitToWidth(300);
        QVERIFY(label.width() <= 300);
        QVERIFY(label.height() < 2 * label.fontMetrics().height());
        QVERIFY(label.toolTip().isEmpty());

        // Too wide for one line: the width itself and two wrapped lines.
        const QString twoLines = QStringLiteral("Die ausgewählten <a>12</a> Dateien werden gerade wiederhergestellt");
        label.SetMarkedText(twoLines);
        label.FitToWidth(200);
        QCOMPARE(label.width(), 200);
        QCOMPARE(label.toolTip(), RdLabel::Parse(twoLines).plain);
        const int oneLine = label.fontMetrics().height();
        QVERIFY(label.height() > oneLine && label.height() < 3 * oneLine);

        // Too long for two lines: cut with an ellipsis, the hint says it all.
        const QString tooLong = QString(30, QLatin1Char('a')) + QLatin1Char(' ') + QString(30, QLatin1Char('b')) +
                                QLatin1Char(' ') + QString(30, QLatin1Char('c')) + QStringLiteral(" <a>12</a>");
        label.SetMarkedText(tooLong);
        label.FitToWidth(200);
        QCOMPARE(label.width(), 200);
        QCOMPARE(label.toolTip(), RdLabel::Parse(tooLong).plain);
        QCOMPARE(label.height(), label.heightForWidth(200));
        QVERIFY(label.height() < 3 * oneLine);
    }

    void TreeParentsCheckTheirChildrenAndShowPartialMarks() {
        RdCheckTree tree;
        QTreeWidgetItem* drive = tree.AddRow(nullptr, QStringLiteral("D:"), QStringLiteral("drive"), 12);
        QTreeWidgetItem* photos = tree.AddRow(drive, QStringLiteral("Photos"), QStringLiteral("folder"), 9);
        QTreeWidgetItem* music = tree.AddRow(drive, QStringLiteral("Music"), QStringLiteral("folder"), 3);
        tree.expandAll();
        tree.show();
        Settle();
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(drive).center());
        QCOMPARE(photos->checkState(0), Qt::Checked);
        QCOMPARE(music->checkState(0), Qt::Checked);
        tree.setCurrentItem(music);
        tree.setFocus();
        QTest::keyClick(&tree, Qt::Key_Space);
        QCOMPARE(music->checkState(0), Qt::Unchecked);
        QCOMPARE(drive->checkState(0), Qt::PartiallyChecked);
        QCOMPARE(RdCheckTree::CountOf(*photos), 9);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&tree);
        QCOMPARE(a->role(), QAccessible::Tree);
    }

    void ReportListHeaderChecksEveryRowAndFollowsThem() {
        auto model = Rows(5);
        RdReportList list;
        list.setModel(model.get());
        list.resize(500, 300);
        list.show();
        Settle();
        QCOMPARE(list.CheckHeader()->CheckState(), Qt::Unchecked);
        const QRect first(list.CheckHeader()->sectionViewportPosition(0), 0, list.CheckHeader()->sectionSize(0),
                          list.CheckHeader()->height());
        QTest::mouseClick(list.CheckHeader()->viewport(), Qt::LeftButton, {}, QPoint(first.left() + 14, first.center().y()));
        for (int row = 0; row < 5; ++row)
            QCOMPARE(model->item(row, 0)->checkState(), Qt::Checked);
        QCOMPARE(list.CheckHeader()->CheckState(), Qt::Checked);
        // A row unchecked with Space: the header shows a partial mark.
        list.setCurrentIndex(model->index(2, 1));
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Space);
        QCOMPARE(model->item(2, 0)->checkState(), Qt::Unchecked);
        QCOMPARE(list.CheckHeader()->CheckState(), Qt::PartiallyChecked);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&list);
        QCOMPARE(a->role(), QAccessible::Table);
    }

    // Every picture the resource file names draws, small and large: where
    // Qt has no SVG module the pictures are PNG files made at build time.
    void ArtDrawsEveryPictureOfTheResourceFile() {
        QFile qrc(QStringLiteral(DUNRO_ART_QRC));
        QVERIFY(qrc.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(qrc.readAll());
        int pictures = 0;
        for (const auto& match : QRegularExpression(QStringLiteral("<file>(.*)\\.svg</file>")).globalMatch(text)) {
            const QString name = match.captured(1);
            for (const QSize size : {QSize(16, 16), QSize(48, 48)}) {
                const QImage image = skin::Art(name, size).toImage();
                QCOMPARE(image.size(), size * qApp->devicePixelRatio());
                bool drawn = false;
                for (int y = 0; y < image.height() && !drawn; ++y)
                    for (int x = 0; x < image.width() && !drawn; ++x)
                        drawn = qAlpha(image.pixel(x, y)) == 255;
                QVERIFY2(drawn, qPrintable(name));
            }
            ++pictures;
        }
        QVERIFY(pictures > 30);
    }

    void RingSpinsOnlyWhileWorkRuns() {
        RdProgressRing ring;
        ring.SetSpinning(true);
        QVERIFY(ring.Spinning());
        ring.SetSpinning(false);
        QVERIFY(!ring.Spinning());
    }

    void HintBalloonShowsItsTextAndHidesOnClick() {
        RdHintBalloon balloon;
        balloon.ShowAt(QPoint(100, 100), QStringLiteral("Click scan to find the recoverable files."), 0);
        QVERIFY(balloon.isVisible());
        QCOMPARE(QAccessible::queryAccessibleInterface(&balloon)->text(QAccessible::Name),
                 QStringLiteral("Click scan to find the recoverable files."));
        QTest::mouseClick(&balloon, Qt::LeftButton);
        QVERIFY(!balloon.isVisible());
    }

    // Without a compositor an X server shows a translucent window's clear
    // pixels black: the balloon's corners and the room beside its pointer
    // must show what lies below, as the screen shows it.
    void HintBalloonShowsWhatLiesBelowBesideItsOutline() {
        QWidget backdrop(nullptr, Qt::FramelessWindowHint);
        backdrop.setAutoFillBackground(true);
        QPalette palette = backdrop.palette();
        palette.setColor(QPalette::Window, QColor(0x20, 0xa0, 0x40));
        backdrop.setPalette(palette);
        backdrop.setGeometry(0, 0, 400, 160);
        backdrop.show();
        QVERIFY(QTest::qWaitForWindowExposed(&backdrop));
        RdHintBalloon balloon(&backdrop);
        balloon.ShowAt(QPoint(40, 30), QStringLiteral("Click scan to find the recoverable files."), 0);
        QVERIFY(QTest::qWaitForWindowExposed(&balloon));
        const QRect box = balloon.geometry();
        if (QGuiApplication::platformName() == QLatin1String("xcb")) {
            // On an X display: what the server shows there.
            QTest::qWait(100);
            const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, 400, 160).toImage();
            QCOMPARE(screen.pixelColor(box.topLeft() + QPoint(1, 1)), QColor(0x20, 0xa0, 0x40));
            QCOMPARE(screen.pixelColor(box.topRight() + QPoint(-1, 1)), QColor(0x20, 0xa0, 0x40));
            QCOMPARE(screen.pixelColor(box.bottomLeft() + QPoint(1, -1)), QColor(0x20, 0xa0, 0x40));
            QCOMPARE(screen.pixelColor(box.center()), QColor(0xfd, 0xf6, 0xec));
        }
        const QRegion shape = balloon.mask();
        QVERIFY(!shape.isEmpty());
        for (const QPoint corner : {QPoint(0, 0), QPoint(box.width() - 1, 0), QPoint(0, box.height() - 1),
                                    QPoint(box.width() - 1, box.height() - 1)})
            QVERIFY(!shape.contains(corner));
        QVERIFY(shape.contains(QPoint(box.width() / 2, box.height() / 2)));
        QVERIFY(shape.contains(QPoint(24, 3)));  // the pointer's tip
    }
};

QTEST_MAIN(WidgetsTest)
#include "widgets_test.moc"
