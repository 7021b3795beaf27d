#include "app/history_dialog.h"
#include "recording_dialogs.h"

#include "app/history_text.h"
#include "app/log_export.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace testing_support;
using workflow::RunRecord;

namespace {

QDateTime at(int hour, int minute)
{
    return QDateTime(QDate(2024, 5, 14), QTime(hour, minute));
}

class HistoryDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog.setHistory({runs, 2}, QDate(2024, 5, 14));
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }

    template <class T = QWidget>
    T* control(const char* name)
    {
        T* found = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    static QStringList rowTexts(const QTreeWidgetItem* item)
    {
        QStringList texts;
        for (int column = 0; column < item->columnCount(); ++column) {
            texts << item->text(column);
        }
        return texts;
    }

    QList<QStringList> tableRows()
    {
        QList<QStringList> rows;
        auto* tables = control<QTreeWidget>("lstTables");
        for (int row = 0; row < tables->topLevelItemCount(); ++row) {
            rows << rowTexts(tables->topLevelItem(row));
        }
        return rows;
    }

    const std::vector<RunRecord> runs{
        {.start = at(9, 0), .end = at(9, 1), .status = u"GAGAL TERHUBUNG", .exitStatus = 2, .reason = u"Server mati"},
        {.start = at(14, 0),
         .end = at(14, 2),
         .mode = workflow::RunMode::Console,
         .status = u"SELESAI (ADA ERROR)",
         .exitStatus = 5,
         .sendsToday = 3,
         .tables = {{u"SEKOLAH", 3, true, true, u""}, {u"SISWA", 40000, true, false, u"Gagal memproses data"}}},
        {.start = at(15, 30),
         .end = at(15, 31),
         .status = u"SELESAI!",
         .statusColor = workflow::ColorDone,
         .sendsToday = 4,
         .tables = {{u"SEKOLAH", 3, true, true, u""}}},
    };
    RecordingDialogs dialogs;
    app::HistoryDialog dialog{dialogs};
};

} // namespace

TEST_F(HistoryDialogTest, listsRunsNewestFirstWithTheChosenRunsTables)
{
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Riwayat Kiriman"));
    auto* list = control<QTreeWidget>("lstRuns");
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(rowTexts(list->topLevelItem(0)),
              (QStringList{QStringLiteral("2024-05-14 15:30"), QStringLiteral("SELESAI!"), QStringLiteral("1/1"),
                           QStringLiteral("jendela")}));
    EXPECT_EQ(rowTexts(list->topLevelItem(1)),
              (QStringList{QStringLiteral("2024-05-14 14:00"), QStringLiteral("SELESAI (ADA ERROR)"),
                           QStringLiteral("2/2"), QStringLiteral("konsol")}));
    EXPECT_EQ(list->topLevelItem(0)->foreground(1).color(), QColor(0, 205, 0));
    EXPECT_EQ(list->topLevelItem(2)->foreground(1).color(), QColor(255, 32, 32));
    EXPECT_EQ(control<QLabel>("lblToday")->text(), app::todaySummary(runs, QDate(2024, 5, 14)));
    EXPECT_EQ(control<QLabel>("lblSkipped")->text(), QStringLiteral("2 baris riwayat tidak terbaca dan dilewati"));

    EXPECT_EQ(list->currentItem(), list->topLevelItem(0));
    EXPECT_EQ(control<QLabel>("lblRun")->text(), app::runSummaryLines(runs[2]).join(u'\n'));
    list->setCurrentItem(list->topLevelItem(1));
    EXPECT_EQ(tableRows(),
              (QList<QStringList>{
                  {QStringLiteral("SEKOLAH"), QStringLiteral("3"), QStringLiteral("terkirim dan diproses"), QString()},
                  {QStringLiteral("SISWA"), QStringLiteral("40000"), QStringLiteral("terkirim, gagal diproses"),
                   QStringLiteral("Gagal memproses data")}}));
    list->setCurrentItem(list->topLevelItem(2));
    EXPECT_TRUE(tableRows().isEmpty());
}

TEST_F(HistoryDialogTest, keyboard_tabReachesTheListEnterOpensARunEscCloses)
{
    auto* list = control<QTreeWidget>("lstRuns");
    EXPECT_TRUE(list->hasFocus());
    QWidget* widget = control("btnClose");
    for (int tabs = 0; tabs < 8 && widget != list; ++tabs) {
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Tab);
        widget = QApplication::focusWidget();
    }
    EXPECT_EQ(widget, list) << "Tab never came back to the list of runs";

    const QString untouched = QStringLiteral("papan klip tidak tersentuh");
    QGuiApplication::clipboard()->setText(untouched);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_TRUE(control("lstTables")->hasFocus());
    EXPECT_EQ(tableRows().size(), 2);
    EXPECT_TRUE(dialog.isVisible());                            // Enter pressed no button: neither "Tutup"
    EXPECT_EQ(QGuiApplication::clipboard()->text(), untouched); // nor "Salin"

    QTest::keyClick(control("lstTables"), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(HistoryDialogTest, copyAndSaveCsv_takeTheChosenRunAndEveryRun)
{
    control<QTreeWidget>("lstRuns")->setCurrentItem(control<QTreeWidget>("lstRuns")->topLevelItem(1));
    control<QPushButton>("btnCopy")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), app::runText(runs[1]));
    EXPECT_EQ(app::runText(runs[1]), QStringLiteral("Kiriman 2024-05-14 14:00:00 s.d. 14:02:00 (konsol)\r\n"
                                                    "Status: SELESAI (ADA ERROR) (kode keluar 5)\r\n"
                                                    "Tabel terkirim: 2/2\r\n"
                                                    "Kiriman hari ini menurut server: 3\r\n"
                                                    "SEKOLAH: 3 baris, terkirim dan diproses\r\n"
                                                    "SISWA: 40000 baris, terkirim, gagal diproses. Alasan: Gagal "
                                                    "memproses data"));

    QTemporaryDir folder;
    QString proposed;
    QString chosen = folder.filePath(QStringLiteral("riwayat.csv"));
    dialog.setSavePathChooser([&](const QString& path) {
        proposed = path;
        return chosen;
    });
    auto* save = control<QPushButton>("btnSaveCsv");
    save->click();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(app::exportFolder()) +
                                   QStringLiteral("/riwayat-kiriman-\\d{8}-\\d{6}\\.csv$"))
                    .match(proposed)
                    .hasMatch())
        << proposed.toStdString();
    QFile file(chosen);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), app::historyCsv(runs));
    EXPECT_TRUE(dialogs.shown.empty());

    chosen = folder.filePath(QStringLiteral("tidak-ada/riwayat.csv"));
    save->click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, u"Error");
    EXPECT_TRUE(dialogs.shown[0].text.starts_with(u"CSV tidak dapat disimpan ke " + chosen.toStdU16String()));

    chosen.clear(); // cancelled: nothing written, nothing shown
    save->click();
    EXPECT_EQ(dialogs.shown.size(), 1u);
}
