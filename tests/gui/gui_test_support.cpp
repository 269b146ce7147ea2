#include "gui_test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include "gui/results/result_page.h"
#include "gui/start/location_chooser.h"
#include "gui/start/start_page.h"
#include "gui/widgets/skin.h"
#include "gui/widgets/skin_label.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "scan/scan_worker.h"

namespace gui_test {

namespace {
QtMessageHandler qtHandler = nullptr;

// The offscreen platform says for every raise() that it cannot; that is no news.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    qtHandler(type, context, message);
}
} // namespace

#ifdef Q_OS_WIN
const char kConfigHome[] = "APPDATA";
#else
const char kConfigHome[] = "XDG_CONFIG_HOME";
#endif

void PrepareEnvironment(QTemporaryDir& dir) {
    qtHandler = qInstallMessageHandler(QuietHandler);
    QDir(dir.path()).mkpath(QStringLiteral("config"));
    QDir(dir.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(dir.path() + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Where the program keeps its settings and folder list: the user's
    // configuration folder, APPDATA on Windows.
    qputenv(kConfigHome, QDir::toNativeSeparators(dir.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (dir.path() + QStringLiteral("/runtime")).toUtf8());
    skin::Apply(*qApp);
}

QString MainIniPath() {
    return qEnvironmentVariable(kConfigHome) + QStringLiteral("/Dunro Data Recovery/Main.ini");
}

bool MainIniHolds(const QString& text) {
    QFile ini(MainIniPath());
    if (!ini.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = ini.readAll();
    if (bytes.size() < 2)
        return false;
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2)
        .contains(text);
}

QTreeWidgetItem* Node(QTreeWidget& tree, const QString& text) {
    const auto found = tree.findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

QStringList ChildTexts(const QTreeWidgetItem& item) {
    QStringList texts;
    for (int i = 0; i < item.childCount(); ++i)
        texts << item.child(i)->text(0);
    return texts;
}

QString WriteMainIni(const QStringList& lines) {
    const QString path = MainIniPath();
    QDir().mkpath(QFileInfo(path).path());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
    return path;
}

void Settle(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

MessageLog::MessageLog(gui::MessageHub& hub) {
    connect(&hub, &gui::MessageHub::Delivered, this, [this](const gui::HubMessage& m) { messages.append(m); });
}

QList<gui::HubMessage> MessageLog::Of(gui::Msg msg) const {
    QList<gui::HubMessage> found;
    for (const gui::HubMessage& m : messages)
        if (m.msg == msg)
            found.append(m);
    return found;
}

MainHarness::MainHarness(const QStringList& images) : window(std::make_unique<gui::TFram_UndeleteMain>()) {
    window->SetProcessEnd([this] { ++processEnds; });
    log = std::make_unique<MessageLog>(window->Hub());
    window->AddVolumeImages(images);
    shell = InstallRecoveryShell(*window);
    window->show();
    // On an X display the server makes the window active a moment later, and
    // only then do keys and focus reach it; offscreen this holds at once.
    window->activateWindow();
    (void)QTest::qWaitForWindowActive(window.get());
    Settle();
}

bool MainHarness::WaitForDriveList(int ms) {
    return WaitFor([this] { return window->StartPage()->Chooser()->DriveListReady(); }, ms);
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qWait(5);
    }
    return true;
}

QString FileListPath() {
    return qEnvironmentVariable(kConfigHome) + QStringLiteral("/Dunro Data Recovery/FileList.ini");
}

QString BoxText(QWidget& box) {
    auto* label = box.findChild<RdLabel*>(QStringLiteral("RdLabel_Text"));
    return label ? label->text() : QString();
}

bool ScanAndShowResults(gui::TFram_UndeleteMain& window, const std::string& image) {
    TThreadScan& worker = window.ScanWorker();
    if (!worker.DiskFor(image))
        return false;
    window.TypeSelection().SelectAll();
    window.LocationSelection().Clear();
    window.LocationSelection().AddDriver(image);
    window.LocationSelection().AddWholeDriver(image);
    worker.StartScan();
    worker.WaitUntilIdle();
    window.Progress().FScanIdle = true;
    window.Progress().FCloseAllowed = true;
    if (window.Progress().FResultCount == 0)
        return false;
    window.ResultPage()->LoadResults();
    window.ShowResultPage();
    Settle();
    return true;
}

std::optional<QString> ScriptedFolderChooser::Choose(QWidget*, const QString& title, const QString& start) {
    calls.append({title, start});
    if (answers.empty())
        return std::nullopt;
    Answer next = std::move(answers.front());
    answers.pop_front();
    return next();
}

RecoveryShell InstallRecoveryShell(gui::TFram_UndeleteMain& window) {
    auto chooser = std::make_unique<ScriptedFolderChooser>();
    auto opener = std::make_unique<RecordingFolderOpener>();
    RecoveryShell shell{chooser.get(), opener.get()};
    window.SetFolderChooser(std::move(chooser));
    window.SetFolderOpener(std::move(opener));
    return shell;
}

} // namespace gui_test
