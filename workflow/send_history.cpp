#include "workflow/send_history.h"

#include "platform/atomic_file.h"
#include "platform/direct_file.h"
#include "platform/qt_text.h"
#include "workflow/sync_view.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QThread>

#include <chrono>

namespace workflow {
namespace {

// Another program holds the lock for one append or one rewrite, a few milliseconds; past this wait it is
// taken to be stuck: the run is appended without it (a whole line still, only not safe from a rewrite
// under way), and the rewrite is left to a later run.
constexpr std::chrono::seconds kLockWait{5};
// QLockFile's own wait doubles its pauses up to seconds; a lock held for milliseconds is better asked for
// often, so that two programs keeping runs take turns instead of one waiting until the other is done.
constexpr std::chrono::milliseconds kLockPause{2};

struct KeptLine {
    QByteArrayView bytes; // the line without its line feed
    RunRecord record;
};

struct Scan {
    std::vector<KeptLine> kept; // the oldest first
    int skipped = 0;
};

// The end of the file, from the first whole line within kHistoryReadLimit of it.
QByteArray readTail(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const qint64 from = std::max<qint64>(0, file.size() - kHistoryReadLimit);
    if (!file.seek(from)) {
        return {};
    }
    QByteArray bytes = file.read(kHistoryReadLimit);
    if (from > 0) {
        bytes.remove(0, bytes.indexOf('\n') + 1);
    }
    return bytes;
}

Scan scanLines(const QByteArray& bytes)
{
    Scan scan;
    for (qsizetype start = 0; start < bytes.size();) {
        const qsizetype feed = bytes.indexOf('\n', start);
        QByteArrayView line = QByteArrayView(bytes).sliced(start, (feed < 0 ? bytes.size() : feed) - start);
        start += line.size() + 1;
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.isEmpty()) {
            continue;
        }
        // A last line without its line feed was cut short, or is being written now.
        std::optional<RunRecord> record;
        if (feed >= 0 && line.size() <= kHistoryLineLimit) {
            record = parseRecordLine(std::string_view(line.data(), static_cast<std::size_t>(line.size())));
        }
        if (record) {
            scan.kept.push_back({line, std::move(*record)});
        } else {
            ++scan.skipped;
        }
    }
    return scan;
}

// Where the newest kHistoryRuns of `count` runs begin.
std::size_t firstOfNewest(std::size_t count)
{
    return count > kHistoryRuns ? count - kHistoryRuns : 0;
}

bool endsWithLineFeed(const QString& path)
{
    QFile file(path);
    char last = '\n';
    if (file.open(QIODevice::ReadOnly) && file.size() > 0 && file.seek(file.size() - 1)) {
        file.getChar(&last);
    }
    return last == '\n';
}

// The history's lock, taken within kLockWait; false when it could not be had.
bool takeTurn(QLockFile& lock)
{
    const QDeadlineTimer deadline(kLockWait);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(static_cast<unsigned long>(kLockPause.count()));
    }
    return true;
}

QString lockPath(const QString& path)
{
    return path + QStringLiteral(".lock");
}

// Appending takes its turn with a rewrite; a lock that cannot be had is no reason to lose the run.
bool appendLine(const QString& path, std::string line)
{
    QLockFile lock(lockPath(path));
    takeTurn(lock);
    if (!endsWithLineFeed(path)) {
        line.insert(0, 1, '\n');
    }
    platform::DirectFile file;
    return file.open(path, platform::DirectFile::OpenMode::Append) && file.write(line) && file.close();
}

bool isPastTheMargin(const QString& path, const QByteArray& tail)
{
    return QFile(path).size() > kHistoryReadLimit || tail.count('\n') > kHistoryRewriteAt;
}

// Keeps the newest kHistoryRuns runs once the file has grown past its margin (or past what is read). The
// file is read again under the lock, so that no run appended meanwhile is left out; a rewrite that fails
// leaves the file as it was, for the next run to try again.
void dropOldestRuns(const QString& path)
{
    if (!isPastTheMargin(path, readTail(path))) {
        return;
    }
    QLockFile lock(lockPath(path));
    if (!takeTurn(lock)) {
        return;
    }
    const QByteArray bytes = readTail(path);
    if (!isPastTheMargin(path, bytes)) {
        return; // another program has just done it
    }
    const Scan scan = scanLines(bytes);
    QByteArray kept;
    for (std::size_t i = firstOfNewest(scan.kept.size()); i < scan.kept.size(); ++i) {
        kept.append(scan.kept[i].bytes).append('\n');
    }
    platform::writeFileAtomically(path, platform::byteView(kept));
}

} // namespace

QString historyFilePath(const QString& dataDir)
{
    return QDir(dataDir).filePath(QStringLiteral("riwayat.jsonl"));
}

History readHistory(const QString& dataDir)
{
    const QByteArray bytes = readTail(historyFilePath(dataDir));
    Scan scan = scanLines(bytes);
    History history;
    history.skipped = scan.skipped;
    for (std::size_t i = firstOfNewest(scan.kept.size()); i < scan.kept.size(); ++i) {
        history.runs.push_back(std::move(scan.kept[i].record));
    }
    return history;
}

SendHistory::SendHistory(const QString& dataDir, RunMode mode) : m_path(historyFilePath(dataDir)), m_mode(mode) {}

void SendHistory::keep(RunRecord record, SyncView& view)
{
    record.mode = m_mode;
    if (!appendLine(m_path, formatRecordLine(record))) {
        if (!m_failureSaid) {
            m_failureSaid = true;
            view.appendLog(u"[!] Riwayat tidak dapat disimpan");
            view.ScrollLog();
        }
        return;
    }
    dropOldestRuns(m_path);
}

} // namespace workflow
