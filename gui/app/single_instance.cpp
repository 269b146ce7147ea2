#include "gui/app/single_instance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include "platform/instance_mutex.h"
#endif

namespace gui {
namespace {
const char kRestoreRequest[] = "restore\n";
}

SingleInstance::SingleInstance(const QString& folder) : folder_(folder) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::RuntimeFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder;
}

QString SingleInstance::LockPath() const { return folder_ + QStringLiteral("/dunro-data-recovery.lock"); }

QString SingleInstance::SocketPath() const {
#ifdef Q_OS_WIN
    // Named pipes live in their own name space; the user's folder keeps them per user.
    return QStringLiteral("dunro-data-recovery-") + QString::number(qHash(folder_));
#else
    return folder_ + QStringLiteral("/dunro-data-recovery.socket");
#endif
}

bool SingleInstance::Claim() {
#ifdef Q_OS_WIN
    if (!platform::ClaimInstanceMutex("_Dunro_Data_Recovery_"))
        return false;
#endif
    QDir().mkpath(folder_);
    lock_ = std::make_unique<QLockFile>(LockPath());
    // No time limit: a lock is stale only when the process it names is gone.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0))
        return true;
    if (lock_->error() == QLockFile::LockFailedError && lock_->removeStaleLockFile())
        return lock_->tryLock(0);
    return false;
}

bool SingleInstance::Listen() {
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock: a socket file left behind is a dead instance's.
    QLocalServer::removeServer(SocketPath());
    if (!server_->listen(SocketPath()))
        return false;
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server_->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (peer->readAll().contains('\n'))
                    emit RestoreRequested();
            });
        }
    });
    return true;
}

bool SingleInstance::AskFirstToRestore() {
    QLocalSocket socket;
    socket.connectToServer(SocketPath());
    if (!socket.waitForConnected(2000))
        return false;
    socket.write(kRestoreRequest);
    const bool sent = socket.waitForBytesWritten(2000);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(1000);
    return sent;
}

} // namespace gui
