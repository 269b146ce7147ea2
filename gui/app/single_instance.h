#pragma once
// One running instance per user. The first start holds a lock in the user's
// runtime folder (on Windows also the named mutex "_Dunro_Data_Recovery_")
// and listens on a local socket beside it; a later start finds the lock
// taken, asks the first through the socket to restore its window (handing
// over the volume images it was given), and ends.
// A lock left by a killed instance names a process that is gone, and is taken over.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QStringList>

#include <memory>

namespace gui {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `folder`: where the lock and the socket live (the user's runtime folder).
    explicit SingleInstance(const QString& folder = RuntimeFolder());
    ~SingleInstance() override;

    static QString RuntimeFolder();

    // True when this process is the first instance.
    bool Claim();
    // The first instance starts to take restore requests.
    bool Listen();
    // A later instance asks the first to restore its window and to offer
    // `images` (absolute paths) as drives; false when no window listens yet
    // (it ends all the same).
    bool AskFirstToRestore(const QStringList& images = {});

    QString LockPath() const;
    QString SocketPath() const;

signals:
    void RestoreRequested();
    // The images a later start was given, after its RestoreRequested.
    void ImagesHanded(const QStringList& images);

private:
    void TakeRequest(const QByteArray& request);

    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};

class TFram_UndeleteMain;

// A later start restores `window` and hands it its images.
void ConnectSecondStarts(SingleInstance& instance, TFram_UndeleteMain& window);

} // namespace gui
