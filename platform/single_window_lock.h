#pragma once

// One window per data folder. The window's first start holds a lock file in the data folder and listens
// on a local socket; a later start for the same folder finds the lock held, connects to the holder's
// socket, which asks the holder to show its window, and ends. A lock left by a program that was killed
// or crashed is taken over. Console runs take no part in this.

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

#include <chrono>

namespace platform {

class SingleWindowLock final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleWindowLock)

public:
    enum class Claim {
        Owner,      // this start holds the lock, or the folder takes no lock file and there is nothing to guard
        HandedOver, // the holder was asked to show its window
        Unanswered, // the holder is alive but took no request within the patience given
    };

    explicit SingleWindowLock(const QString& dataDir, QObject* parent = nullptr);

    // Takes the lock, or asks its holder to show its window. Both are tried again for up to `patience`:
    // a holder that has just started may not listen yet, one that has just ended may still hold its lock.
    Claim claim(std::chrono::milliseconds patience = std::chrono::seconds(10));

    // The lock file in `dataDir`: murenta-tervalis-helper.lock.
    static QString lockFilePath(const QString& dataDir);

signals:
    // A later start for the same data folder asked this holder to show its window.
    void showRequested();

private:
    bool askHolderToShow();
    void listen();
    // Windows lets only the process the operator started last bring a window to the front; the later
    // start hands that right on to the holder. Nothing elsewhere.
    static void allowToComeForward(qint64 pid);

    QLockFile m_lock;
    QLocalServer m_server;
};

} // namespace platform
