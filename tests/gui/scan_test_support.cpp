#include "scan_test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "gui/start/location_chooser.h"
#include "gui/start/location_list.h"
#include "gui/start/start_page.h"
#include "gui/start/type_tile.h"
#include "gui/widgets/check_box.h"
#include "gui_test_support.h"
#include "volume/helpers.h"
#include "volume/text.h"

namespace gui_test {

QString Corpus(const char* name) { return QStringLiteral(DUNRO_CORPUS_DIR) + QLatin1Char('/') + QLatin1String(name); }

namespace {

// What `dunro scan --format json` prints for `images`; a null document when it failed.
QJsonDocument CommandLineListing(const QStringList& images, const QString& types, const QStringList& more) {
    QStringList args{QStringLiteral("scan")};
    args << images;
    if (!types.isEmpty())
        args << QStringLiteral("--types") << types;
    args << more << QStringLiteral("--format") << QStringLiteral("json");
    QProcess dunro;
    dunro.start(QStringLiteral(DUNRO_BIN), args);
    if (!dunro.waitForFinished(120000) || dunro.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(dunro.readAllStandardOutput());
}

} // namespace

int CommandLineCount(const QStringList& images, const QString& types, const QStringList& more) {
    const QJsonDocument json = CommandLineListing(images, types, more);
    return json.isObject() ? static_cast<int>(json.object().value(QStringLiteral("files")).toArray().size()) : -1;
}

QStringList CommandLineRows(const QStringList& images, const QString& types, const QStringList& more) {
    QStringList rows;
    const QJsonDocument json = CommandLineListing(images, types, more);
    for (const QJsonValue& value : json.object().value(QStringLiteral("files")).toArray()) {
        const QJsonObject f = value.toObject();
        const auto text = [&f](const char* key) { return f.value(QLatin1String(key)).toString(); };
        // The JSON keeps the volume's backslashes; the window writes the system's separator.
        const QString path = text("drive") + QLatin1Char(volume::kSystemSeparator) +
                             QString(text("folder_path")).replace(QLatin1Char('\\'), QLatin1Char(volume::kSystemSeparator));
        rows << QStringList{text("name"), path, text("state"),
                            QString::fromStdString(volume::SizeText(f.value(QStringLiteral("size")).toInteger())),
                            text("modified")}
                    .join(QStringLiteral(" | "));
    }
    return rows;
}

QListWidgetItem* EntryOf(gui::RdLocationList& list, const QString& drive) {
    for (int i = 0; i < list.count(); ++i)
        if (list.item(i)->data(gui::kDriveRole).toString() == drive)
            return list.item(i);
    return nullptr;
}

void ClickEntry(gui::RdLocationList& list, QListWidgetItem* item) {
    list.scrollToItem(item);
    const QRect r = list.visualItemRect(item);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(r.left() + r.width() / 3, r.center().y()));
}

void ClickRemoveMark(gui::RdLocationList& list, QListWidgetItem* item) {
    list.scrollToItem(item);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.RemoveRect(item).center());
}

void ChooseOnly(gui::TFrm_Choose& page, const QStringList& drives) {
    RdCheckBox* all = page.Chooser()->CheckAllBox();
    if (!all->isChecked())
        QTest::mouseClick(all, Qt::LeftButton);  // everything on ...
    QTest::mouseClick(all, Qt::LeftButton);      // ... and off
    for (const QString& drive : drives)
        if (QListWidgetItem* item = EntryOf(*page.Chooser()->List(), drive))
            ClickEntry(*page.Chooser()->List(), item);
}

void ChooseTypes(gui::TFrm_Choose& page, const QList<int>& indices) {
    if (!page.MasterToggle()->isChecked())
        QTest::mouseClick(page.MasterToggle(), Qt::LeftButton);
    QTest::mouseClick(page.MasterToggle(), Qt::LeftButton);
    for (int index : indices)
        QTest::mouseClick(page.TypeToggle(index), Qt::LeftButton);
}

int HeaderCount(const QString& header) {
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("(\\d+)")).match(header);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace gui_test
