#include "app/history_text.h"

#include <QDate>

#include <gtest/gtest.h>

using workflow::RunRecord;

namespace {

QDateTime at(int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(2024, 5, day), QTime(hour, minute, second));
}

} // namespace

TEST(HistoryCsv, quotesWhatNeedsItAndKeepsNonAsciiInUtf8WithCrLf)
{
    const std::vector<RunRecord> runs{
        {.start = at(14, 9, 0),
         .end = at(14, 9, 0, 5),
         .status = u"GAGAL TERHUBUNG",
         .exitStatus = 2,
         .reason = u"Server Tervalis tidak dapat dihubungi: koneksi ditolak, coba lagi."},
        {.start = at(14, 14, 0, 3),
         .end = at(14, 14, 0, 41),
         .mode = workflow::RunMode::Console,
         .status = u"SELESAI (ADA ERROR)",
         .exitStatus = 5,
         .sendsToday = 3,
         .tables = {{u"SEKOLAH", 3, true, true, u""},
                    {u"SISWA", 0, false, false, u"Balasan \"ditolak\"\r\nbaris kedua, \u00e9\u2019\u00d1"},
                    {u"=GURU", 2, true, false, u"-1 baris"}}},
    };
    const QByteArray run2 = "2024-05-14 14:00:03,2024-05-14 14:00:41,konsol,SELESAI (ADA ERROR),5,3,,";
    EXPECT_EQ(app::historyCsv(runs),
              "\xEF\xBB\xBFMulai,Selesai,Mode,Status,Kode Keluar,Kiriman Hari Ini (Server),Alasan Berhenti,Tabel,"
              "Baris,Terkirim,Diproses,Alasan Tabel\r\n"
              "2024-05-14 09:00:00,2024-05-14 09:00:05,jendela,GAGAL TERHUBUNG,2,,\"Server Tervalis tidak dapat "
              "dihubungi: koneksi ditolak, coba lagi.\",,,,,\r\n" +
                  run2 + "SEKOLAH,3,ya,ya,\r\n" + run2 +
                  "SISWA,0,tidak,tidak,\"Balasan \"\"ditolak\"\"\r\nbaris kedua, \xC3\xA9\xE2\x80\x99\xC3\x91\"\r\n" +
                  run2 + "'=GURU,2,ya,tidak,'-1 baris\r\n");
}

TEST(HistoryToday, countsTodaysSendsBesideTheServersLastCount)
{
    struct Case {
        const char* what;
        std::vector<RunRecord> runs;
        QString expected;
    };
    const workflow::TableRecord sent{u"SEKOLAH", 3, true, true, u""};
    const workflow::TableRecord notSent{u"SISWA", 0, false, false, u""};
    const std::vector<Case> cases{
        {"no runs", {}, QStringLiteral("Kiriman hari ini: 0 menurut riwayat, belum terbaca dari server hari ini")},
        {"yesterday's count is not today's",
         {{.start = at(13, 14, 0), .sendsToday = 5, .tables = {sent}}},
         QStringLiteral("Kiriman hari ini: 0 menurut riwayat, belum terbaca dari server hari ini")},
        {"the newest count of today; only runs that sent a table",
         {{.start = at(13, 14, 0), .sendsToday = 5, .tables = {sent}},
          {.start = at(14, 8, 0), .tables = {notSent}},
          {.start = at(14, 9, 10), .sendsToday = 1, .tables = {sent, notSent}},
          {.start = at(14, 13, 0), .sendsToday = 2, .tables = {notSent}},
          {.start = at(14, 13, 30)}},
         QStringLiteral("Kiriman hari ini: 1 menurut riwayat, 2 menurut server (dibaca pukul 13:00)")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(app::todaySummary(c.runs, QDate(2024, 5, 14)), c.expected) << c.what;
    }
}
