#include "platform/single_window_lock.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>

namespace platform {

namespace {

constexpr std::chrono::milliseconds kConnectTimeout{1000};
constexpr unsigned long kRetryPauseMs = 20;

// The holder's socket, named after the user and the holder's process (which the lock file records): the
// lock file settles which folder is meant, however each start spells its path. The user's part keeps
// users apart where names are shared: Linux puts the socket in the common temporary folder, and Windows'
// pipes have one namespace for the whole machine.
QString serverName(qint64 pid)
{
    const QByteArray user = QCryptographicHash::hash(QDir::homePath().toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("murenta-tervalis-helper-%1-%2")
        .arg(QString::fromLatin1(user.toHex().left(16)), QString::number(pid));
}

} // namespace

SingleWindowLock::SingleWindowLock(const QString& dataDir, QObject* parent)
    : QObject(parent), m_lock(lockFilePath(dataDir))
{
    // A lock is stale only when its holder is gone, never because it is old: a window stays open for days.
    // The holder's system lock on the file says so too, but not every file system keeps such locks.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            socket->disconnectFromServer();
            socket->deleteLater();
        }
        emit showRequested();
    });
}

QString SingleWindowLock::lockFilePath(const QString& dataDir)
{
    return QDir(dataDir).filePath(QStringLiteral("murenta-tervalis-helper.lock"));
}

SingleWindowLock::Claim SingleWindowLock::claim(std::chrono::milliseconds patience)
{
    const QDeadlineTimer deadline(patience);
    for (;;) {
        // Creating the lock file is atomic: of two starts at once, exactly one takes it.
        if (m_lock.tryLock()) {
            listen();
            return Claim::Owner;
        }
        if (m_lock.error() != QLockFile::LockFailedError) {
            return Claim::Owner;
        }
        if (askHolderToShow()) {
            return Claim::HandedOver;
        }
        if (deadline.hasExpired()) {
            return Claim::Unanswered;
        }
        QThread::msleep(kRetryPauseMs);
    }
}

bool SingleWindowLock::askHolderToShow()
{
    qint64 pid = 0;
    QString hostName;
    QString appName;
    // Empty while the holder is still writing it.
    if (!m_lock.getLockInfo(&pid, &hostName, &appName)) {
        return false;
    }
    allowToComeForward(pid);
    QLocalSocket socket;
    socket.connectToServer(serverName(pid));
    return socket.waitForConnected(static_cast<int>(kConnectTimeout.count()));
}

void SingleWindowLock::listen()
{
    const QString name = serverName(QCoreApplication::applicationPid());
    // A socket file left by a killed program that had this process id.
    QLocalServer::removeServer(name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.listen(name);
}

} // namespace platform
