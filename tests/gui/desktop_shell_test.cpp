// Opening the recovery folder from a window run as root through pkexec: the
// opener runs as the user who asked, never as root.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdlib>
#include <string>

#include "gui/recover/desktop_shell.h"
#include "support/system_user.h"

#ifndef _WIN32
#include <unistd.h>
#endif

class DesktopShellTest : public QObject {
    Q_OBJECT
private slots:
    void theFolderOpensAsTheUserWhoAsked() {
#ifdef _WIN32
        QSKIP("pkexec is a Linux matter");
#else
        if (::geteuid() != 0)
            QSKIP("dropping to another user needs root");
        testing_support::ScopedSystemUser made("dunro-g" + std::to_string(::getpid() % 100000));
        QVERIFY2(made.Made(), "useradd failed");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(::chown(QFile::encodeName(dir.path()).constData(), made.Uid(), made.Gid()) == 0);

        ::setenv("PKEXEC_UID", std::to_string(made.Uid()).c_str(), 1);
        const std::optional<platform::InvokingUser> user = platform::InvokingUserOfRoot();
        ::unsetenv("PKEXEC_UID");
        QVERIFY(user);
        // A stand-in for xdg-open: it notes who it runs as and what it was asked to open.
        const std::string script = "{ id -u; echo \"$1\"; } > \"$1/note.partial\" && mv \"$1/note.partial\" \"$1/note\"";
        auto opener = gui::FolderOpenerAsUser(*user, {"/bin/sh", "-c", script, "sh"});
        QVERIFY(opener->Open(QUrl::fromLocalFile(dir.path())));
        const QString note = dir.filePath(QStringLiteral("note"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(note), 10000);
        QFile file(note);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QVERIFY(lines.size() >= 2);
        QCOMPARE(lines[0], QByteArray::number(made.Uid()));
        QCOMPARE(QString::fromUtf8(lines[1]), dir.path());
#endif
    }
};

QTEST_MAIN(DesktopShellTest)
#include "desktop_shell_test.moc"
