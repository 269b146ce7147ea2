#pragma once
// What the system draws or does outside our own windows during a recovery:
// the folder dialog and opening a folder in the file browser. Both sit
// behind these small interfaces so that tests can answer the dialog and see
// which folder would have been opened.
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/users.h"

class QWidget;

namespace gui {

class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // The folder the user picked, or nothing when the dialog was cancelled.
    // `start` is pre-selected when it is not empty.
    virtual std::optional<QString> Choose(QWidget* owner, const QString& title, const QString& start) = 0;
};

class FolderOpener {
public:
    virtual ~FolderOpener() = default;
    // Shows the folder in the system's file browser; false when it could not.
    virtual bool Open(const QUrl& folder) = 0;
};

// The system's folder dialog (file-system folders only).
std::unique_ptr<FolderChooser> SystemFolderChooser();
// The system's file browser (Explorer on Windows). A program run as root
// through pkexec opens it as the user who asked, or not at all: a file
// browser started as root would outlive the program with root's rights.
std::unique_ptr<FolderOpener> SystemFolderOpener();
// Opens a folder by running `command` followed by the folder's path as
// `user`, in a child process that drops to that user's ids first.
std::unique_ptr<FolderOpener> FolderOpenerAsUser(const platform::InvokingUser& user, std::vector<std::string> command);

} // namespace gui
