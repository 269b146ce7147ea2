#include "gui/recover/desktop_shell.h"

#include <QDesktopServices>
#include <QFileDialog>

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

} // namespace

std::unique_ptr<FolderChooser> SystemFolderChooser() { return std::make_unique<SystemChooser>(); }
std::unique_ptr<FolderOpener> SystemFolderOpener() { return std::make_unique<SystemOpener>(); }

} // namespace gui
