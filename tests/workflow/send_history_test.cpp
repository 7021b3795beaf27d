#include "owner_only.h"

#include "recording_view.h"
#include "show.h"
#include "workflow/send_history.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace testing_support;
using workflow::RunRecord;

namespace {

// A run whose reason names it, so that the runs read back can be told apart.
RunRecord namedRun(const QString& name)
{
    const QDateTime time(QDate(2024, 5, 14), QTime(14, 0, 3));
    return {.start = time, .end = time.addSecs(38), .status = u"SELESAI!", .reason = name.toStdU16String()};
}

std::string runLine(int number)
{
    return workflow::formatRecordLine(namedRun(QString::number(number)));
}

class SendHistoryFile : public ::testing::Test {
protected:
    QString path() const { return workflow::historyFilePath(dir.path()); }

    void write(const std::string& bytes)
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }

    std::vector<std::u16string> reasonsRead() const
    {
        std::vector<std::u16string> reasons;
        for (const RunRecord& run : workflow::readHistory(dir.path()).runs) {
            reasons.push_back(run.reason);
        }
        return reasons;
    }

    QTemporaryDir dir;
    RecordingDialogs dialogs;
    RecordingView view{dialogs};
    workflow::SendHistory history{dir.path(), workflow::RunMode::Window};
};

} // namespace

TEST(RunRecordLine, everyMember_comesBackAsItWasWritten)
{
    RunRecord run = namedRun(QStringLiteral("Alasan \"kutip\", koma\r\nbaris \u00e9\u2019"));
    run.start = QDateTime(QDate(2024, 5, 14), QTime(14, 0, 3), Qt::OffsetFromUTC, 7 * 3600);
    run.end = run.start.addSecs(38);
    run.mode = workflow::RunMode::Console;
    run.status = u"SELESAI (ADA ERROR)";
    run.exitStatus = 5;
    run.sendsToday = 3;
    run.tables = {{u"SEKOLAH", 3, true, true, u""},
                  {u"SISWA", 40000, true, false, u"Gagal memproses data"},
                  {u"GURU", 0, false, false, u"memori tidak cukup"},
                  {u"KELAS", 0, false, false, u""}};
    const std::string line = workflow::formatRecordLine(run);
    EXPECT_EQ(line.substr(0, 71), R"({"start":"2024-05-14T14:00:03+07:00","end":"2024-05-14T14:00:41+07:00",)");
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << "not one line";
    EXPECT_EQ(workflow::parseRecordLine(std::string_view(line).substr(0, line.size() - 1)), run);
}

// Cut short (a killed program, a full disk) or written over by something else: skipped and counted, and
// the next run is still kept whole.
TEST_F(SendHistoryFile, cutAndForeignLines_areSkippedCountedAndNewRunsStillKept)
{
    write(runLine(1) + "bukan JSON\n" + R"({"start":"2024-05-14T14:00:03Z","status":"SELESAI!"})" + "\n\n" +
          runLine(2) + runLine(3).substr(0, 50));
    EXPECT_EQ(workflow::readHistory(dir.path()).skipped, 3);
    history.keep(namedRun(QStringLiteral("4")), view);
    const workflow::History read = workflow::readHistory(dir.path());
    EXPECT_EQ(read.skipped, 3);
    EXPECT_EQ(reasonsRead(), (std::vector<std::u16string>{u"1", u"2", u"4"}));
    EXPECT_TRUE(view.log.empty());
}

TEST_F(SendHistoryFile, pastTheBound_theOldestRunsAreDroppedByAnAtomicRewrite)
{
    std::string lines;
    for (int i = 0; i < workflow::kHistoryRewriteAt; ++i) {
        lines += runLine(i);
    }
    write(lines);
    // Read, the history never holds more than its bound.
    EXPECT_EQ(reasonsRead().front(), u"200");
    history.keep(namedRun(QStringLiteral("2200")), view);

    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count('\n'), qsizetype(workflow::kHistoryRuns));
    const std::vector<std::u16string> reasons = reasonsRead();
    EXPECT_EQ(reasons.front(), u"201");
    EXPECT_EQ(reasons.back(), u"2200");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("riwayat.jsonl")});
    if (accessListsKept()) {
        EXPECT_TRUE(isOwnerOnly(path()));
    }
}

// A file grown beyond what is read (broken, or written by something else) costs no more than the bound:
// only its end is read, a line too long for a run is skipped unread, and the next run cuts the file down.
TEST_F(SendHistoryFile, hugeFileOrLine_onlyTheBoundIsRead)
{
    const std::string giant(std::size_t(workflow::kHistoryReadLimit), 'x');
    const std::string longRun = workflow::formatRecordLine(namedRun(QString(workflow::kHistoryLineLimit, u'y')));
    write(runLine(0) + giant + "\n" + runLine(1) + longRun + runLine(2));
    const workflow::History read = workflow::readHistory(dir.path());
    EXPECT_EQ(read.skipped, 1);
    EXPECT_EQ(reasonsRead(), (std::vector<std::u16string>{u"1", u"2"}));

    history.keep(namedRun(QStringLiteral("3")), view);
    EXPECT_LT(QFile(path()).size(), workflow::kHistoryLineLimit);
    EXPECT_EQ(reasonsRead(), (std::vector<std::u16string>{u"1", u"2", u"3"}));
}

// A window and a scheduled console run keeping runs at once, past the bound: every line whole, and of
// each program's runs none lost but the oldest that the bound drops.
TEST_F(SendHistoryFile, twoProgramsKeepingRunsAtOnce_loseNothingButWhatTheBoundDrops)
{
    constexpr int kRuns = 2500;
    const QStringList tags{QStringLiteral("A"), QStringLiteral("B")};
    QProcess keepers[2];
    for (int i = 0; i < 2; ++i) {
        keepers[i].start(QStringLiteral(MTH_KEEP_RUNS), {dir.path(), tags[i], QString::number(kRuns)});
    }
    for (QProcess& keeper : keepers) {
        ASSERT_TRUE(keeper.waitForReadyRead(60000)) << "a keeper never started";
    }
    // Written at once to both: QProcess would otherwise hand the second its line only while waiting for it,
    // after the first had finished.
    for (QProcess& keeper : keepers) {
        keeper.write("go\n");
        ASSERT_TRUE(keeper.waitForBytesWritten(60000));
    }
    for (QProcess& keeper : keepers) {
        ASSERT_TRUE(keeper.waitForFinished(300000));
        EXPECT_EQ(keeper.exitCode(), 0);
    }

    const workflow::History read = workflow::readHistory(dir.path());
    EXPECT_EQ(read.skipped, 0);
    EXPECT_GE(read.runs.size(), workflow::kHistoryRuns);
    std::map<QString, std::vector<int>> kept;
    for (const RunRecord& run : read.runs) {
        const QStringList parts = QString::fromStdU16String(run.reason).split(u' ');
        kept[parts.front()].push_back(parts.back().toInt());
    }
    for (const QString& tag : tags) {
        const std::vector<int>& numbers = kept[tag];
        ASSERT_FALSE(numbers.empty()) << tag.toStdString();
        EXPECT_EQ(numbers.back(), kRuns - 1) << tag.toStdString();
        for (std::size_t i = 1; i < numbers.size(); ++i) {
            ASSERT_EQ(numbers[i], numbers[i - 1] + 1) << tag.toStdString() << ": a run lost before the newest";
        }
    }
}
