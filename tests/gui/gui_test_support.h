#pragma once
// What the window tests share: a private settings and runtime folder per test
// program, the program's skin, a record of every message the hub delivers,
// and a main window whose process end only counts.
#include <QApplication>
#include <QList>
#include <QObject>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <QUrl>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "gui/app/main_window.h"
#include "gui/common/message_hub.h"
#include "gui/recover/desktop_shell.h"

namespace gui_test {

// How long a test lets the window thread be kept from its events. The
// sanitizers slow every instruction several times over, so their build gets
// more room; a window frozen by a slow read is held for seconds either way.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kWindowThreadHoldLimitMs = 300;
#else
constexpr qint64 kWindowThreadHoldLimitMs = 100;
#endif

// Points the settings and runtime folders at a fresh temporary folder and
// applies the skin; call first in initTestCase.
void PrepareEnvironment(QTemporaryDir& dir);

// Writes Main.ini in the settings folder with `content` (CRLF added per line).
QString WriteMainIni(const QStringList& lines);
QString MainIniPath();
// Whether Main.ini, as the program writes it (UTF-16 after its byte-order mark), holds `text`.
bool MainIniHolds(const QString& text);

// Lets queued messages and events run.
void Settle(int rounds = 5);

// Every message the hub delivers, in order.
class MessageLog : public QObject {
public:
    explicit MessageLog(gui::MessageHub& hub);
    QList<gui::HubMessage> messages;
    // The messages delivered so far of kind `msg`.
    QList<gui::HubMessage> Of(gui::Msg msg) const;
    bool Has(gui::Msg msg) const { return !Of(msg).isEmpty(); }
    void Clear() { messages.clear(); }
};

// Lets events run until `done` holds or `ms` have passed; whether it holds.
bool WaitFor(const std::function<bool()>& done, int ms = 30000);

// The FileList.ini of the settings folder.
QString FileListPath();

// The visible text of a box, as its label holds it.
QString BoxText(QWidget& box);

// The first item of a folder tree with this text, at any depth.
QTreeWidgetItem* Node(QTreeWidget& tree, const QString& text);
// The texts of an item's children, in order.
QStringList ChildTexts(const QTreeWidgetItem& item);

// Scans `image` whole through the window's own scan worker, then hands the
// result to the result page the way the end of a scan does (load results,
// show the page). False when the scan found nothing.
bool ScanAndShowResults(gui::TFram_UndeleteMain& window, const std::string& image);

// The folder dialog as a test answers it: each call takes the next answer
// (a folder, or nothing for Cancel); with none left it cancels.
struct DialogCall {
    QString title;
    QString start;
};
class ScriptedFolderChooser : public gui::FolderChooser {
public:
    using Answer = std::function<std::optional<QString>()>;
    std::optional<QString> Choose(QWidget* owner, const QString& title, const QString& start) override;
    std::deque<Answer> answers;
    QList<DialogCall> calls;
};

// The file browser as a test sees it: the folders it was asked to open.
class RecordingFolderOpener : public gui::FolderOpener {
public:
    bool Open(const QUrl& folder) override {
        opened.append(folder);
        return true;
    }
    QList<QUrl> opened;
};

// Puts a scripted folder dialog and a recording file browser into `window`;
// the pointers stay valid while the window lives.
struct RecoveryShell {
    ScriptedFolderChooser* chooser = nullptr;
    RecordingFolderOpener* opener = nullptr;
};
RecoveryShell InstallRecoveryShell(gui::TFram_UndeleteMain& window);

// A main window whose process end is counted instead of carried out, and
// whose folder dialog and file browser are the test's: no test ever waits
// on the system's dialog.
struct MainHarness {
    // `images` are offered as drives, as the program's arguments are.
    explicit MainHarness(const QStringList& images = {});
    std::unique_ptr<gui::TFram_UndeleteMain> window;
    std::unique_ptr<MessageLog> log;
    RecoveryShell shell;
    int processEnds = 0;
    // Lets events run until the start page's location list is filled.
    bool WaitForDriveList(int ms = 30000);
};

} // namespace gui_test
