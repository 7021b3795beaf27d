// Two window starts for one data folder in one process: the second hands over to the first.

#include "platform/single_window_lock.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using platform::SingleWindowLock;
using Claim = SingleWindowLock::Claim;

namespace {

// Runs the event loop until `lock` is asked to show its window, or for ten seconds.
bool showRequestArrives(SingleWindowLock& lock)
{
    QEventLoop loop;
    bool requested = false;
    QObject::connect(&lock, &SingleWindowLock::showRequested, &loop, [&] {
        requested = true;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return requested;
}

} // namespace

TEST(SingleWindowLock, laterStartsHandOverToTheHolder_untilItEnds)
{
    QTemporaryDir dataDir;
    const QString lockFile = dataDir.filePath(QStringLiteral("murenta-tervalis-helper.lock"));
    ASSERT_EQ(SingleWindowLock::lockFilePath(dataDir.path()), lockFile);
    auto holder = std::make_unique<SingleWindowLock>(dataDir.path());
    ASSERT_EQ(holder->claim(), Claim::Owner);
    EXPECT_TRUE(QFileInfo::exists(lockFile));

    EXPECT_EQ(SingleWindowLock(dataDir.path()).claim(), Claim::HandedOver);
    EXPECT_TRUE(showRequestArrives(*holder));

    holder.reset();
    EXPECT_FALSE(QFileInfo::exists(lockFile));
    EXPECT_EQ(SingleWindowLock(dataDir.path()).claim(), Claim::Owner);
}

TEST(SingleWindowLock, holderWithoutSocket_isUnanswered_folderWithoutLock_isOwned)
{
    QTemporaryDir dataDir;
    QLockFile silentHolder(SingleWindowLock::lockFilePath(dataDir.path()));
    silentHolder.setStaleLockTime(0);
    ASSERT_TRUE(silentHolder.tryLock());
    EXPECT_EQ(SingleWindowLock(dataDir.path()).claim(std::chrono::milliseconds(200)), Claim::Unanswered);
    EXPECT_EQ(SingleWindowLock(dataDir.filePath(QStringLiteral("missing"))).claim(), Claim::Owner);
}
