#include "app/history_text.h"

#include "app/log_export.h"
#include "platform/qt_text.h"

#include <QDate>
#include <QStringList>

#include <algorithm>

namespace app {

using platform::toQString;
using workflow::RunRecord;
using workflow::TableRecord;

namespace {

QString localText(const QDateTime& time, const QString& format)
{
    return time.toLocalTime().toString(format);
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("ya") : QStringLiteral("tidak");
}

QString csvField(const QString& text)
{
    QString field = text;
    if (!field.isEmpty() && QStringLiteral("=+-@\t\r").contains(field.front())) {
        field.prepend(u'\'');
    }
    if (field.contains(u',') || field.contains(u'"') || field.contains(u'\r') || field.contains(u'\n')) {
        field.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        field = u'"' + field + u'"';
    }
    return field;
}

QString csvRow(const QStringList& fields)
{
    QStringList quoted;
    for (const QString& field : fields) {
        quoted << csvField(field);
    }
    return quoted.join(u',') + QStringLiteral("\r\n");
}

QStringList runFields(const RunRecord& run)
{
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    return {localText(run.start, format),
            localText(run.end, format),
            modeText(run.mode),
            toQString(run.status),
            QString::number(run.exitStatus),
            run.sendsToday ? QString::number(*run.sendsToday) : QString(),
            toQString(run.reason)};
}

QStringList tableFields(const TableRecord& table)
{
    return {toQString(table.name), QString::number(table.rows), yesNo(table.sent), yesNo(table.processed),
            toQString(table.reason)};
}

bool isOn(const RunRecord& run, const QDate& day)
{
    return run.start.toLocalTime().date() == day;
}

} // namespace

QString localMinute(const QDateTime& time)
{
    return localText(time, QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString modeText(workflow::RunMode mode)
{
    return mode == workflow::RunMode::Console ? QStringLiteral("konsol") : QStringLiteral("jendela");
}

QString tableState(const TableRecord& table)
{
    if (table.processed) {
        return QStringLiteral("terkirim dan diproses");
    }
    if (table.sent) {
        return QStringLiteral("terkirim, gagal diproses");
    }
    return table.reason.empty() ? QStringLiteral("tidak dicoba") : QStringLiteral("gagal dikirim");
}

QString tablesSentText(const RunRecord& run)
{
    return QString::number(run.tablesSent()) + u'/' + QString::number(run.tables.size());
}

QString historyLine(const RunRecord& run)
{
    QString line = localMinute(run.start) + QStringLiteral("  ") + toQString(run.status).leftJustified(19) +
                   QStringLiteral("  ") + tablesSentText(run) + QStringLiteral(" tabel  ") + modeText(run.mode);
    if (!run.reason.empty()) {
        line += QStringLiteral("  Alasan: ") + toQString(run.reason);
    }
    return line;
}

QStringList runSummaryLines(const RunRecord& run)
{
    QStringList lines{QStringLiteral("Kiriman ") + localText(run.start, QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                          QStringLiteral(" s.d. ") + localText(run.end, QStringLiteral("HH:mm:ss")) +
                          QStringLiteral(" (") + modeText(run.mode) + u')',
                      QStringLiteral("Status: ") + toQString(run.status) + QStringLiteral(" (kode keluar ") +
                          QString::number(run.exitStatus) + u')',
                      QStringLiteral("Tabel terkirim: ") + tablesSentText(run)};
    if (run.sendsToday) {
        lines << QStringLiteral("Kiriman hari ini menurut server: ") + QString::number(*run.sendsToday);
    }
    if (!run.reason.empty()) {
        lines << QStringLiteral("Alasan: ") + toQString(run.reason);
    }
    return lines;
}

QString runText(const RunRecord& run)
{
    QStringList lines = runSummaryLines(run);
    for (const TableRecord& table : run.tables) {
        QString line = toQString(table.name) + QStringLiteral(": ") + QString::number(table.rows) +
                       QStringLiteral(" baris, ") + tableState(table);
        if (!table.reason.empty()) {
            line += QStringLiteral(". Alasan: ") + toQString(table.reason);
        }
        lines << line;
    }
    return joinLogLines(lines);
}

QByteArray historyCsv(const std::vector<RunRecord>& runs)
{
    QString csv =
        csvRow({QStringLiteral("Mulai"), QStringLiteral("Selesai"), QStringLiteral("Mode"), QStringLiteral("Status"),
                QStringLiteral("Kode Keluar"), QStringLiteral("Kiriman Hari Ini (Server)"),
                QStringLiteral("Alasan Berhenti"), QStringLiteral("Tabel"), QStringLiteral("Baris"),
                QStringLiteral("Terkirim"), QStringLiteral("Diproses"), QStringLiteral("Alasan Tabel")});
    for (const RunRecord& run : runs) {
        if (run.tables.empty()) {
            csv += csvRow(runFields(run) + QStringList(5));
        }
        for (const TableRecord& table : run.tables) {
            csv += csvRow(runFields(run) + tableFields(table));
        }
    }
    return QByteArray("\xEF\xBB\xBF") + csv.toUtf8();
}

QString todaySummary(const std::vector<RunRecord>& runs, const QDate& today)
{
    const auto sends = std::count_if(runs.begin(), runs.end(),
                                     [&](const RunRecord& run) { return isOn(run, today) && run.tablesSent() > 0; });
    QString text = QStringLiteral("Kiriman hari ini: ") + QString::number(sends) + QStringLiteral(" menurut riwayat");
    const auto read = std::find_if(runs.rbegin(), runs.rend(),
                                   [&](const RunRecord& run) { return isOn(run, today) && run.sendsToday; });
    if (read == runs.rend()) {
        return text + QStringLiteral(", belum terbaca dari server hari ini");
    }
    return text + QStringLiteral(", ") + QString::number(*read->sendsToday) +
           QStringLiteral(" menurut server (dibaca pukul ") + localText(read->start, QStringLiteral("HH:mm")) + u')';
}

QString skippedLinesText(int skipped)
{
    return skipped == 0 ? QString()
                        : QString::number(skipped) + QStringLiteral(" baris riwayat tidak terbaca dan dilewati");
}

} // namespace app
