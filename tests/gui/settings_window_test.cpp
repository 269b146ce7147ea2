// The settings window: what it reads from Main.ini, what OK writes (exactly
// the three choices, the chosen language by its file name), that Cancel and
// Close write nothing, that a read-only Main.ini stays read-only, and the
// rule that one of the two update choices always stands.
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "gui/settings/settings_window.h"
#include "gui/widgets/check_box.h"
#include "gui/widgets/check_list.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/title_bar.h"
#include "gui_test_support.h"
#include "shell/ini_file.h"

using namespace gui_test;

namespace {

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string Value(const char* key) {
    TSafeIniFile ini;
    ini.Load(MainIniPath().toStdString());
    return ini.ReadString("Main", key, "<missing>");
}

int RowOf(RdCheckList& list, const QString& text) {
    for (int i = 0; i < list.count(); ++i)
        if (list.item(i)->text() == text)
            return i;
    return -1;
}

} // namespace

class SettingsWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    std::unique_ptr<gui::TFrm_RecoverySetting> Open() {
        auto window = std::make_unique<gui::TFrm_RecoverySetting>(nullptr);
        window->Open();
        // On an X display keys go to the active window only, once the server has made it so.
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("the settings window did not become active");
        Settle();
        return window;
    }

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }
    void init() {
        QFile::setPermissions(MainIniPath(), QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(MainIniPath());
    }

    void ListsTheLanguageFilesByTheirDisplayNames() {
        auto window = Open();
        QStringList shown;
        for (int i = 0; i < window->LanguageList()->count(); ++i)
            shown << window->LanguageList()->item(i)->text();
        QCOMPARE(shown, (QStringList{QStringLiteral("Deutsch"), QStringLiteral("English")}));
    }

    void AMissingMainIniShowsTheDefaults() {
        auto window = Open();
        QVERIFY(window->SkipUacBox()->isChecked());
        QVERIFY(window->AutoUpdateBox()->isChecked());
        QVERIFY(!window->NotifyBox()->isChecked());
        QCOMPARE(window->LanguageList()->currentItem()->text(), QStringLiteral("English"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Settings"));
    }

    void ReadsEveryKeyAndSpeaksTheStoredLanguage() {
        WriteMainIni({QStringLiteral("[main]"), QStringLiteral("SkipUAC=0"), QStringLiteral("autoupdate=0"),
                      QStringLiteral("Language=Deutsch")});
        auto window = Open();
        QVERIFY(!window->SkipUacBox()->isChecked());
        QVERIFY(!window->AutoUpdateBox()->isChecked());
        QVERIFY(window->NotifyBox()->isChecked());
        QCOMPARE(window->LanguageList()->currentItem()->text(), QStringLiteral("Deutsch"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Einstellungen"));
        QCOMPARE(window->TitleBar()->Title(), QStringLiteral("Einstellungen"));
        QCOMPARE(window->AutoUpdateBox()->text(), QStringLiteral("Automatisch aktualisieren"));
        QCOMPARE(window->CancelButton()->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(window->TitleBar()->CloseButton()->toolTip(), QStringLiteral("Schließen"));
    }

    void OkWritesBackEveryKeyItRead_data() {
        QTest::addColumn<QString>("skip");
        QTest::addColumn<QString>("update");
        QTest::addColumn<QString>("language");
        QTest::newRow("all off, German") << "0" << "0" << "Deutsch";
        QTest::newRow("all on, English") << "1" << "1" << "English";
    }
    void OkWritesBackEveryKeyItRead() {
        QFETCH(QString, skip);
        QFETCH(QString, update);
        QFETCH(QString, language);
        WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("Language=") + language, QStringLiteral("SkipUAC=") + skip,
                      QStringLiteral("autoupdate=") + update, QStringLiteral("ScanTips=1")});
        auto window = Open();
        QTest::mouseClick(window->OkButton(), Qt::LeftButton);
        Settle();
        QVERIFY(!window->isVisible());
        QCOMPARE(Value("SkipUAC"), skip.toStdString());
        QCOMPARE(Value("autoupdate"), update.toStdString());
        QCOMPARE(Value("Language"), language.toStdString());
        QCOMPARE(Value("ScanTips"), std::string("1"));  // not the window's key: left alone
    }

    void OkWritesExactlyTheThreeChoices() {
        auto window = Open();
        QTest::mouseClick(window->OkButton(), Qt::LeftButton);
        Settle();
        TSafeIniFile ini;
        ini.Load(MainIniPath().toStdString());
        QCOMPARE(ini.SectionNames().size(), size_t(1));
        auto keys = ini.ReadSection("Main");
        std::sort(keys.begin(), keys.end());
        QCOMPARE(keys, (std::vector<std::string>{"Language", "SkipUAC", "autoupdate"}));
        QCOMPARE(Value("Language"), std::string("English"));
        QCOMPARE(Value("SkipUAC"), std::string("1"));
        QCOMPARE(Value("autoupdate"), std::string("1"));
    }

    void ChoosingGermanStoresGerman() {
        auto window = Open();
        RdCheckList& list = *window->LanguageList();
        const int german = RowOf(list, QStringLiteral("Deutsch"));
        QVERIFY(german >= 0);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(german)).center());
        QTest::mouseClick(window->SkipUacBox(), Qt::LeftButton);
        QTest::mouseClick(window->NotifyBox(), Qt::LeftButton);
        QTest::mouseClick(window->OkButton(), Qt::LeftButton);
        Settle();
        QCOMPARE(Value("Language"), std::string("Deutsch"));
        QCOMPARE(Value("SkipUAC"), std::string("0"));
        QCOMPARE(Value("autoupdate"), std::string("0"));
    }

    void CancelCloseAndEscWriteNothing_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Close") << 1;
        QTest::newRow("Esc") << 2;
    }
    void CancelCloseAndEscWriteNothing() {
        QFETCH(int, how);
        const QString path = WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("Language=English"),
                                           QStringLiteral("SkipUAC=1"), QStringLiteral("autoupdate=1")});
        const QByteArray before = Bytes(path);
        auto window = Open();
        QTest::mouseClick(window->SkipUacBox(), Qt::LeftButton);
        QTest::mouseClick(window->NotifyBox(), Qt::LeftButton);
        if (how == 0)
            QTest::mouseClick(window->CancelButton(), Qt::LeftButton);
        else if (how == 1)
            QTest::mouseClick(window->TitleBar()->CloseButton(), Qt::LeftButton);
        else
            QTest::keyClick(window.get(), Qt::Key_Escape);
        Settle();
        QVERIFY(!window->isVisible());
        QCOMPARE(Bytes(path), before);
    }

    void AReadOnlyMainIniIsWrittenAndStaysReadOnly() {
        const QString path = WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("SkipUAC=1")});
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        auto window = Open();
        QTest::mouseClick(window->SkipUacBox(), Qt::LeftButton);
        QTest::mouseClick(window->OkButton(), Qt::LeftButton);
        Settle();
        QCOMPARE(Value("SkipUAC"), std::string("0"));
        QCOMPARE(QFile::permissions(path) & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
    }

    void OneOfTheTwoUpdateChoicesAlwaysStands() {
        auto window = Open();
        RdCheckBox& automatic = *window->AutoUpdateBox();
        RdCheckBox& notify = *window->NotifyBox();
        QTest::mouseClick(&notify, Qt::LeftButton);
        QVERIFY(notify.isChecked());
        QVERIFY(!automatic.isChecked());
        QTest::mouseClick(&notify, Qt::LeftButton);  // unchecking the only choice puts it back
        QVERIFY(notify.isChecked());
        QVERIFY(!automatic.isChecked());
        QTest::mouseClick(&automatic, Qt::LeftButton);
        QVERIFY(automatic.isChecked());
        QVERIFY(!notify.isChecked());
        QTest::mouseClick(&automatic, Qt::LeftButton);
        QVERIFY(automatic.isChecked());
        QVERIFY(!notify.isChecked());
    }

    void KeyboardAloneChangesAndStoresTheChoices() {
        auto window = Open();
        window->SkipUacBox()->setFocus();
        QTest::keyClick(window->SkipUacBox(), Qt::Key_Space);
        QVERIFY(!window->SkipUacBox()->isChecked());
        QTest::keyClick(window->SkipUacBox(), Qt::Key_Tab);
        QVERIFY(window->AutoUpdateBox()->hasFocus());
        QTest::keyClick(window->AutoUpdateBox(), Qt::Key_Tab);
        QVERIFY(window->NotifyBox()->hasFocus());
        QTest::keyClick(window->NotifyBox(), Qt::Key_Return);
        QVERIFY(window->NotifyBox()->isChecked());
        QTest::keyClick(window->NotifyBox(), Qt::Key_Tab);
        QVERIFY(window->OkButton()->hasFocus());
        QTest::keyClick(window->OkButton(), Qt::Key_Return);
        Settle();
        QCOMPARE(Value("SkipUAC"), std::string("0"));
        QCOMPARE(Value("autoupdate"), std::string("0"));
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "settings_window_test.moc"
