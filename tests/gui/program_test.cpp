// The program as a user starts it, in real processes: one instance per user
// (the second start exits 0 and the first comes back at 960 × 660), a stale
// lock of a killed instance does not block, --help, no display, and the
// scripted run the Windows build's smoke test drives the window with.
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "gui/app/prompt_box.h"
#include "gui/app/prompt_texts.h"
#include "gui/app/single_instance.h"
#include "gui/start/location_chooser.h"
#include "gui/start/location_list.h"
#include "gui/start/start_page.h"
#include "gui_test_support.h"
#include "scan_test_support.h"

using namespace gui_test;

namespace {

const QString kProgram = QStringLiteral(DUNRO_GUI_BIN);


} // namespace

class ProgramTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    int runtimeCount_ = 0;

    // A fresh runtime folder: each test has its own lock and socket.
    QString FreshRuntime() {
        const QString folder = dir_.path() + QStringLiteral("/run%1").arg(++runtimeCount_);
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return folder;
    }

    QProcessEnvironment Environment(const QString& runtime) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("dunro.gui.debug=true"));
        return env;
    }

    // Starts the program and waits until its window listens for a second start.
    bool StartFirst(QProcess& first, const QString& runtime) {
        first.setProcessEnvironment(Environment(runtime));
        first.setProcessChannelMode(QProcess::SeparateChannels);
        first.start(kProgram, {});
        if (!first.waitForStarted(10000))
            return false;
        const QString socket = gui::SingleInstance(runtime).SocketPath();
        for (int waited = 0; waited < 20000 && !QFile::exists(socket); waited += 50)
            QTest::qWait(50);
        return QFile::exists(socket) && first.state() == QProcess::Running;
    }

    static void Stop(QProcess& process) {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }

    void ASecondStartExitsZeroAndTheFirstComesBack() {
        const QString runtime = FreshRuntime();
        QProcess first;
        QVERIFY(StartFirst(first, runtime));
        QProcess second;
        second.setProcessEnvironment(Environment(runtime));
        second.start(kProgram, {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QByteArray log;
        for (int waited = 0; waited < 10000 && !log.contains("restored"); waited += 50) {
            QTest::qWait(50);
            log += first.readAllStandardError();
        }
        QVERIFY2(log.contains("restored 960x660 minimized=false visible=true"), log.constData());
        QCOMPARE(first.state(), QProcess::Running);  // one process left: the first
        Stop(first);
    }

    void ASecondStartRestoresAMinimizedWindowTo960x660InFront() {
        // This test process is the first instance, with a real window.
        const QString runtime = FreshRuntime();
        gui::SingleInstance instance(runtime);
        QVERIFY(instance.Claim());
        MainHarness main;
        QObject::connect(&instance, &gui::SingleInstance::RestoreRequested, main.window.get(),
                         &gui::TFram_UndeleteMain::RestoreFromSecondStart);
        QVERIFY(instance.Listen());
        main.window->showMinimized();
        Settle();
        QVERIFY(main.window->isMinimized());
        QProcess second;
        second.setProcessEnvironment(Environment(runtime));
        second.start(kProgram, {});
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY(!main.window->isMinimized());
        QCOMPARE(main.window->size(), QSize(960, 660));
        QVERIFY(main.window->isVisible());
        QTRY_COMPARE(QApplication::activeWindow(), main.window.get());
    }

    // The images of a second start are offered by the running window, named
    // from the second start's own folder; one it cannot read is refused with
    // the usual notice.
    void ASecondStartHandsItsImagesToTheRunningWindow() {
        const QString runtime = FreshRuntime();
        const QString folder = dir_.path() + QStringLiteral("/second-start");
        QDir().mkpath(folder);
        const QString image = folder + QStringLiteral("/-handed over.img");
        QVERIFY(QFile::copy(Corpus("ntfs-basic.img"), image));
        gui::SingleInstance instance(runtime);
        QVERIFY(instance.Claim());
        MainHarness main;
        gui::ConnectSecondStarts(instance, *main.window);
        QVERIFY(instance.Listen());
        QVERIFY(main.WaitForDriveList());
        gui::RdLocationList& list = *main.window->StartPage()->Chooser()->List();
        QVERIFY(!EntryOf(list, image));

        QProcess second;
        second.setProcessEnvironment(Environment(runtime));
        second.setWorkingDirectory(folder);
        second.start(kProgram, {QStringLiteral("./-handed over.img"), QStringLiteral("missing.img")});
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(WaitFor([&] { return EntryOf(list, image) != nullptr; }, 10000));
        QCOMPARE(EntryOf(list, image)->checkState(), Qt::Checked);
        QVERIFY(WaitFor([&] { return main.window->NoticeBox()->isVisible(); }, 10000));
        QCOMPARE(main.window->NoticeBox()->Kind(), gui::Notice::ImageUnreadable);
        QVERIFY2(BoxText(*main.window->NoticeBox()).contains(QStringLiteral("missing.img")),
                 qPrintable(BoxText(*main.window->NoticeBox())));
    }

    void ASecondStartBeforeTheFirstHasAWindowExitsZero() {
        const QString runtime = FreshRuntime();
        gui::SingleInstance instance(runtime);
        QVERIFY(instance.Claim());  // claimed, but no window listens yet
        QProcess second;
        second.setProcessEnvironment(Environment(runtime));
        second.start(kProgram, {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
    }

    void TheLockOfAKilledInstanceDoesNotBlockTheNextStart() {
        const QString runtime = FreshRuntime();
        QProcess killed;
        QVERIFY(StartFirst(killed, runtime));
        killed.kill();  // SIGKILL: the lock and the socket stay behind
        QVERIFY(killed.waitForFinished(5000));
        QVERIFY(QFile::exists(gui::SingleInstance(runtime).LockPath()));
        QProcess next;
        QVERIFY(StartFirst(next, runtime));
        QTest::qWait(300);
        QCOMPARE(next.state(), QProcess::Running);
        Stop(next);
    }

    void HelpPrintsTheUsage() {
        QProcess program;
        program.setProcessEnvironment(Environment(FreshRuntime()));
        program.start(kProgram, {QStringLiteral("--help")});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(program.readAllStandardOutput().startsWith("usage: dunro-gui"));
    }

    void TheScriptedRunRecoversTheFirstThreeFilesByteExactAndEnds() {
        const QString image = Corpus("ntfs-basic.img");
        QFile manifestFile(image + QStringLiteral(".manifest.json"));
        QVERIFY(manifestFile.open(QIODevice::ReadOnly));
        QHash<QString, QByteArray> shaOfName;
        for (const QJsonValue entry : QJsonDocument::fromJson(manifestFile.readAll())[QStringLiteral("files")].toArray())
            shaOfName.insert(entry[QStringLiteral("path")].toString().section(QLatin1Char('/'), -1),
                             entry[QStringLiteral("sha256")].toString().toLatin1());
        const QString folder = dir_.path() + QStringLiteral("/scripted");
        QVERIFY(QDir().mkpath(folder));
        QProcessEnvironment env = Environment(FreshRuntime());
        env.insert(QStringLiteral("DUNRO_WINDOW_TEST_RECOVER"), folder);
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(kProgram, {image});
        QVERIFY(program.waitForFinished(120000));
        QCOMPARE(program.exitCode(), 0);
        const QStringList written =
            QDir(folder).entryList({QStringLiteral("*")}, QDir::Files).filter(QRegularExpression(QStringLiteral("^(?!dunro-report)")));
        QCOMPARE(written.size(), 3);
        for (const QString& name : written) {
            QFile file(folder + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex(), shaOfName.value(name));
        }
    }

    void WithoutADisplayItSaysSoInOneLineAndExits2() {
        QProcessEnvironment env = Environment(FreshRuntime());
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(kProgram, {});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 2);
        const QByteArray said = program.readAllStandardError();
        QCOMPARE(said.count('\n'), 1);
        QVERIFY2(said.contains("no display"), said.constData());
    }
};

QTEST_MAIN(ProgramTest)
#include "program_test.moc"
