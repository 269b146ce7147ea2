#include "gui/app/single_instance.h"

#include "gui/app/main_window.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

#include <memory>

#ifdef Q_OS_WIN
#include "platform/instance_mutex.h"
#endif

namespace gui {
namespace {
// A request is lines: "restore", then "image PATH" per image (the path
// percent-encoded, so that no name can break a line), then "end".
const char kRestoreLine[] = "restore";
const char kImagePrefix[] = "image ";
const char kEndLine[] = "end";
} // namespace

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
            // A request may arrive in pieces; it is taken whole, at its end
            // line or when the later start hangs up.
            auto request = std::make_shared<QByteArray>();
            auto taken = std::make_shared<bool>(false);
            auto take = [this, request, taken] {
                if (*taken || !request->startsWith(kRestoreLine))
                    return;
                *taken = true;
                TakeRequest(*request);
            };
            connect(peer, &QLocalSocket::readyRead, this, [peer, request, take] {
                request->append(peer->readAll());
                if (request->contains(QByteArray("\n") + kEndLine + '\n'))
                    take();
            });
            connect(peer, &QLocalSocket::disconnected, this, [peer, request, take] {
                request->append(peer->readAll());
                take();
                peer->deleteLater();
            });
        }
    });
    return true;
}

void SingleInstance::TakeRequest(const QByteArray& request) {
    QStringList images;
    for (const QByteArray& line : request.split('\n'))
        if (line.startsWith(kImagePrefix))
            images << QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(qsizetype(sizeof kImagePrefix) - 1)));
    emit RestoreRequested();
    if (!images.isEmpty())
        emit ImagesHanded(images);
}

bool SingleInstance::AskFirstToRestore(const QStringList& images) {
    QLocalSocket socket;
    socket.connectToServer(SocketPath());
    if (!socket.waitForConnected(2000))
        return false;
    QByteArray request = QByteArray(kRestoreLine) + '\n';
    for (const QString& image : images)
        request += kImagePrefix + image.toUtf8().toPercentEncoding("/") + '\n';
    request += QByteArray(kEndLine) + '\n';
    socket.write(request);
    const bool sent = socket.waitForBytesWritten(2000);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(1000);
    return sent;
}

void ConnectSecondStarts(SingleInstance& instance, TFram_UndeleteMain& window) {
    QObject::connect(&instance, &SingleInstance::RestoreRequested, &window, &TFram_UndeleteMain::RestoreFromSecondStart,
                     Qt::UniqueConnection);
    QObject::connect(&instance, &SingleInstance::ImagesHanded, &window, &TFram_UndeleteMain::AddVolumeImages,
                     Qt::UniqueConnection);
}

} // namespace gui
