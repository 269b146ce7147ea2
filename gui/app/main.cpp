// dunro-gui: the desktop window of Dunro Data Recovery.
#include <QApplication>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gui/app/main_window.h"
#include "gui/app/single_instance.h"
#include "gui/app/window_test_hook.h"
#include "gui/common/texts.h"
#include "gui/widgets/skin.h"
#include "platform/elevation.h"
#include "platform/memory.h"

namespace {

const char kUsage[] =
    "usage: dunro-gui [--help] [IMAGE...]\n"
    "\n"
    "Opens the window of Dunro Data Recovery: choose the kinds of files and the\n"
    "drives to look at, scan them for deleted files, preview them and recover\n"
    "the ones you check into a folder of your choice. Scanned drives are only\n"
    "read, never written. Only one window runs per user: starting the program\n"
    "again brings it to the front.\n"
    "\n"
    "Each IMAGE, a file holding an NTFS, FAT or exFAT volume, is offered as a drive\n"
    "beside the computer's own (\"Add Disk Image...\" in the window does the same).\n"
    "\n"
    "Reading a drive needs the rights to open it raw (root on Linux).\n"
    "The command line 'dunro' does the same without a window.\n";

// Without a display Qt would abort; say so in one line instead.
bool DisplayAvailable() {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return true;
#else
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
#endif
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> images;
    uint32_t restartedFrom = 0;
    for (int i = 1; i < argc; ++i) {
        // The copy started with administrator rights by the window it replaces.
        if (std::strcmp(argv[i], "--restarted-from") == 0 && i + 1 < argc) {
            restartedFrom = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
            continue;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argv[i][0] == '-' && argv[i][1] != 0) {
            std::fprintf(stderr, "dunro-gui: unknown option '%s'\n\n%s", argv[i], kUsage);
            return 2;
        }
        images.emplace_back(argv[i]);
    }
    if (!DisplayAvailable()) {
        std::fputs("dunro-gui: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set)\n", stderr);
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(gui::AppTitle());
    QApplication::setApplicationDisplayName(gui::AppTitle());
    // Lets a Wayland desktop match the window to its menu entry and icon.
    QApplication::setDesktopFileName(QStringLiteral("org.dunro.DataRecovery"));
    QApplication::setQuitOnLastWindowClosed(false);

    // The window that started this copy ends once the copy runs; until then
    // it holds the single-instance lock.
    if (restartedFrom != 0)
        platform::WaitForProcessEnd(restartedFrom, 10000);
    gui::SingleInstance instance;
    if (!instance.Claim()) {
        // The running window offers the images; named from its own folder,
        // they would mean something else.
        QStringList absolute;
        for (const std::string& image : images)
            absolute << QFileInfo(QString::fromLocal8Bit(image.c_str())).absoluteFilePath();
        instance.AskFirstToRestore(absolute);
        return 0;
    }

    platform::TuneAllocatorForScans();
    skin::Apply(app);
    gui::TFram_UndeleteMain window;
    QStringList imageNames;
    for (const std::string& image : images)
        imageNames << QString::fromLocal8Bit(image.c_str());
    window.AddVolumeImages(imageNames);
    gui::ConnectSecondStarts(instance, window);
    window.show();
    instance.Listen();
    gui::StartWindowTestRun(window);
    return app.exec();
}
