// Renders every window and box of the program offscreen into PNG files, in
// English and in German: dunro_gui_screenshots FOLDER.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

#include "gui/app/main_window.h"
#include "gui/app/prompt_box.h"
#include "gui/settings/about_window.h"
#include "gui/settings/settings_window.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin.h"
#include "recover/recover_worker.h"
#include "scan/progress.h"

namespace {

void Settle() {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// The main window with a floating window drawn where it stands over it.
QImage Composite(QWidget& main, QWidget* over) {
    Settle();
    QImage image = main.grab().toImage();
    if (over && over->isVisible()) {
        QPainter p(&image);
        p.drawPixmap(over->frameGeometry().topLeft() - main.frameGeometry().topLeft(), over->grab());
    }
    return image;
}

bool Save(const QImage& image, const QString& folder, const QString& name) {
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool RenderLanguage(const QString& folder, const QString& language, const QString& suffix) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QDir(config.path()).mkpath(QStringLiteral("Dunro Data Recovery"));
    QFile ini(config.path() + QStringLiteral("/Dunro Data Recovery/Main.ini"));
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    ini.write(QStringLiteral("[Main]\r\nLanguage=%1\r\n").arg(language).toUtf8());
    ini.close();

    bool ok = true;
    gui::TFram_UndeleteMain main;
    main.SetProcessEnd([] {});
    main.move(0, 0);
    main.show();
    // The texts that name a job: 1.5 MB to recover, the fourth of ten files under way.
    main.RecoverWorker().JobBytes = 1'572'864;
    main.Progress().FRecoverFiles = 10;
    main.Progress().FRecoverAttempted = 4;
    ok &= Save(Composite(main, nullptr), folder, QStringLiteral("main") + suffix);

    for (int kind = gui::kFirstNotice; kind <= gui::kLastNotice; ++kind) {
        main.ShowNotice(kind);
        ok &= Save(Composite(main, main.NoticeBox()), folder, QStringLiteral("notice-%1").arg(kind) + suffix);
        main.NoticeBox()->hide();
        main.Undim();
    }
    for (int kind = gui::kFirstQuestion; kind <= gui::kLastQuestion; ++kind) {
        main.Dim();
        main.QuestionBox()->ShowQuestion(kind);
        ok &= Save(Composite(main, main.QuestionBox()), folder, QStringLiteral("question-%1").arg(kind) + suffix);
        main.QuestionBox()->hide();
        main.Undim();
    }

    main.Hub().Send(gui::kMsgOpenSettings);
    ok &= Save(Composite(main, main.SettingsWindow()), folder, QStringLiteral("settings") + suffix);
    main.SettingsWindow()->close();
    Settle();

    main.OpenAbout();
    ok &= Save(Composite(main, main.AboutWindow()), folder, QStringLiteral("about") + suffix);
    main.AboutWindow()->OkButton()->click();
    Settle();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: dunro_gui_screenshots FOLDER\n", stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    skin::Apply(app);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    bool ok = RenderLanguage(folder, QStringLiteral("English"), QString());
    ok &= RenderLanguage(folder, QStringLiteral("Deutsch"), QStringLiteral("-de"));
    return ok ? 0 : 1;
}
