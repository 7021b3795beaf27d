// Qt's save dialog in Indonesian, answered as the operator would, from inside its own event loop.

#include "app/save_dialog.h"

#include <QAbstractButton>
#include <QAbstractProxyModel>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <tuple>

namespace {

// Runs `answer` on the dialog as soon as it waits for the operator.
template <class Dialog, class Answer>
void whenAsked(Answer answer)
{
    QTimer::singleShot(0, [answer] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(dialog);
    });
}

// Answers the question before replacing a file with the button named `choice`, keeping its text.
void answerReplaceQuestion(const QString& choice, QString* question)
{
    whenAsked<QMessageBox>([choice, question](QMessageBox* box) {
        *question = box->text();
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == choice) {
                button->click();
            }
        }
    });
}

void pressSave(QFileDialog* dialog)
{
    static_cast<QDialog*>(dialog)->accept();
}

QString askSavePath(const QTemporaryDir& folder)
{
    return app::askSavePath(nullptr, QStringLiteral("Simpan Log"), folder.filePath(QStringLiteral("log.txt")),
                            QStringLiteral("File teks (*.txt)"));
}

} // namespace

TEST(SaveDialog, qtDialog_speaksIndonesianAndAsksBeforeReplacingAFile)
{
    QTemporaryDir folder;
    const QString fresh = folder.filePath(QStringLiteral("baru.txt"));
    const QString existing = folder.filePath(QStringLiteral("ada.txt"));
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    whenAsked<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Simpan Log"));
        for (const auto& [label, text] :
             {std::pair{QFileDialog::LookIn, "Lihat di:"}, std::pair{QFileDialog::FileName, "Nama berkas:"},
              std::pair{QFileDialog::FileType, "Jenis berkas:"}, std::pair{QFileDialog::Accept, "Simpan"},
              std::pair{QFileDialog::Reject, "Batal"}}) {
            EXPECT_EQ(dialog->labelText(label), QLatin1StringView(text));
        }
        QStringList columns;
        for (int column = 0; column < 4; ++column) {
            columns << dialog->proxyModel()->headerData(column, Qt::Horizontal).toString();
        }
        EXPECT_EQ(columns, (QStringList{QStringLiteral("Nama"), QStringLiteral("Ukuran"), QStringLiteral("Jenis"),
                                        QStringLiteral("Tanggal Diubah")}));
        // What the pointer's tips and screen readers say of the other parts, and the file list's menu.
        for (const auto& [object, name, tip] :
             {std::tuple{"backButton", "Kembali", true}, std::tuple{"forwardButton", "Maju", true},
              std::tuple{"toParentButton", "Folder Induk", true},
              std::tuple{"newFolderButton", "Buat Folder Baru", true},
              std::tuple{"listModeButton", "Tampilan Daftar", true},
              std::tuple{"detailModeButton", "Tampilan Rinci", true}, std::tuple{"listView", "Berkas", false},
              std::tuple{"sidebar", "Tempat", false}}) {
            const auto* part = dialog->findChild<QWidget*>(QLatin1StringView(object));
            ASSERT_NE(part, nullptr) << object;
            EXPECT_EQ(part->accessibleName(), QLatin1StringView(name)) << object;
            EXPECT_EQ(part->toolTip(), tip ? QLatin1StringView(name) : QLatin1StringView()) << object;
        }
        for (const auto& [object, text] :
             {std::pair{"qt_rename_action", "&Ganti Nama"}, std::pair{"qt_delete_action", "&Hapus"},
              std::pair{"qt_show_hidden_action", "Tampilkan berkas &tersembunyi"},
              std::pair{"qt_new_folder_action", "Folder &Baru"}}) {
            const auto* action = dialog->findChild<QAction*>(QLatin1StringView(object));
            ASSERT_NE(action, nullptr) << object;
            EXPECT_EQ(action->text(), QLatin1StringView(text)) << object;
        }
        dialog->selectFile(fresh);
        pressSave(dialog);
    });
    EXPECT_EQ(askSavePath(folder), fresh);

    QString question;
    whenAsked<QFileDialog>([&](QFileDialog* dialog) {
        dialog->selectFile(existing);
        answerReplaceQuestion(QStringLiteral("Batal"), &question);
        pressSave(dialog);
        EXPECT_TRUE(dialog->isVisible()); // still asking for a name
        answerReplaceQuestion(QStringLiteral("Ganti"), &question);
        pressSave(dialog);
    });
    EXPECT_EQ(askSavePath(folder), existing);
    EXPECT_EQ(question, QStringLiteral("Berkas ada.txt sudah ada.\nGanti dengan yang baru?"));

    whenAsked<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_TRUE(askSavePath(folder).isEmpty());
}
