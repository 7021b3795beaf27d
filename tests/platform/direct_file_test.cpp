#include "owner_only.h"
#include "platform/direct_file.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

QByteArray appendedLine(const QByteArray& tag, int number)
{
    return tag + ' ' + QByteArray::number(number) + ' ' + QByteArray(60, '.');
}

} // namespace

// Two runs appending to one log file: both open it before either writes, as runs started together do.
// Every line of both must arrive whole, once and in its run's order.
TEST(DirectFile, twoProcessesAppendingToOneFile_keepEveryLineWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kirim.log"));
    constexpr int kLines = 3000;
    const QByteArray tags[] = {"A", "B"};
    QProcess writers[2];
    for (int i = 0; i < 2; ++i) {
        writers[i].start(QStringLiteral(MTH_APPEND_LINES),
                         {path, QString::fromLatin1(tags[i]), QString::number(kLines)});
    }
    for (QProcess& writer : writers) {
        ASSERT_TRUE(writer.waitForReadyRead(60000)) << "the writer never opened the file";
    }
    // Written at once to both: QProcess would otherwise hand the second its line only while waiting for it,
    // after the first had finished, and the two would never write at the same time.
    for (QProcess& writer : writers) {
        writer.write("go\n");
        ASSERT_TRUE(writer.waitForBytesWritten(60000));
    }
    for (QProcess& writer : writers) {
        ASSERT_TRUE(writer.waitForFinished(120000));
        EXPECT_EQ(writer.exitCode(), 0);
    }

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    EXPECT_TRUE(lines.takeLast().isEmpty()) << "the file does not end with a whole line";
    std::map<QByteArray, int> next;
    QList<QByteArray> broken;
    for (const QByteArray& line : lines) {
        const QByteArray tag = line.left(1);
        if (line != appendedLine(tag, next[tag]) + '\r') {
            broken << line;
            continue;
        }
        ++next[tag];
    }
    EXPECT_EQ(broken.size(), 0) << "the first: " << broken.value(0).toStdString();
    EXPECT_EQ(next[tags[0]], kLines);
    EXPECT_EQ(next[tags[1]], kLines);
    if (testing_support::accessListsKept()) {
        EXPECT_TRUE(testing_support::isOwnerOnly(path));
    }
}
