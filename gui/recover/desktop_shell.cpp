#include "gui/recover/desktop_shell.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QStandardPaths>

namespace gui {
namespace {

class SystemChooser : public FolderChooser {
public:
    std::optional<QString> Choose(QWidget* owner, const QString& title, const QString& start) override {
        const QString folder = QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
        if (folder.isEmpty())
            return std::nullopt;
        return folder;
    }
};

class SystemOpener : public FolderOpener {
public:
    // A local folder's URL opens the file browser on every platform: Explorer
    // through the shell's "open" on Windows, the desktop's own elsewhere.
    bool Open(const QUrl& folder) override { return QDesktopServices::openUrl(folder); }
};

class UserOpener : public FolderOpener {
public:
    UserOpener(const platform::InvokingUser& user, std::vector<std::string> command)
        : user_(user), command_(std::move(command)) {}
    bool Open(const QUrl& folder) override {
        std::vector<std::string> argv = command_;
        argv.push_back(folder.toLocalFile().toStdString());
        std::string error;  // the caller notes only that the folder did not open
        return platform::StartAsUser(user_, argv, error);
    }

private:
    platform::InvokingUser user_;
    std::vector<std::string> command_;
};

// Root acting for a user it cannot name opens nothing rather than a browser as root.
class NoOpener : public FolderOpener {
public:
    bool Open(const QUrl&) override { return false; }
};

// The desktop's own way to open a folder, from the system's program folders.
std::vector<std::string> DesktopOpenCommand() {
    const QStringList system = {QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/bin"), QStringLiteral("/bin")};
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"), system);
    if (!xdgOpen.isEmpty())
        return {xdgOpen.toStdString()};
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"), system);
    if (!gio.isEmpty())
        return {gio.toStdString(), "open"};
    return {};
}

} // namespace

std::unique_ptr<FolderChooser> SystemFolderChooser() { return std::make_unique<SystemChooser>(); }

std::unique_ptr<FolderOpener> SystemFolderOpener() {
    if (!platform::StartedThroughPkexec())
        return std::make_unique<SystemOpener>();
    const std::optional<platform::InvokingUser> user = platform::InvokingUserOfRoot();
    std::vector<std::string> command = DesktopOpenCommand();
    if (!user || command.empty())
        return std::make_unique<NoOpener>();
    return FolderOpenerAsUser(*user, std::move(command));
}

std::unique_ptr<FolderOpener> FolderOpenerAsUser(const platform::InvokingUser& user, std::vector<std::string> command) {
    return std::make_unique<UserOpener>(user, std::move(command));
}

} // namespace gui
