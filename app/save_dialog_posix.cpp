#include "app/save_dialog.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QIdentityProxyModel>
#include <QMessageBox>
#include <QPushButton>

namespace app {
namespace {

// The file list's column titles in Indonesian.
class IndonesianHeaders final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const QStringList titles{QStringLiteral("Nama"), QStringLiteral("Ukuran"), QStringLiteral("Jenis"),
                                        QStringLiteral("Tanggal Diubah")};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < titles.size()) {
            return titles[section];
        }
        return QIdentityProxyModel::headerData(section, orientation, role);
    }
};

// Qt's own save dialog, its labels in Indonesian; it asks in Indonesian before replacing a file, as Qt
// would ask in English.
class IndonesianSaveDialog final : public QFileDialog {
public:
    IndonesianSaveDialog(QWidget* parent, const QString& title, const QString& proposedPath, const QString& filter)
        : QFileDialog(parent, title, proposedPath, filter)
    {
        setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
        setAcceptMode(QFileDialog::AcceptSave);
        setLabelText(QFileDialog::LookIn, QStringLiteral("Lihat di:"));
        setLabelText(QFileDialog::FileName, QStringLiteral("Nama berkas:"));
        setLabelText(QFileDialog::FileType, QStringLiteral("Jenis berkas:"));
        setLabelText(QFileDialog::Accept, QStringLiteral("Simpan"));
        setLabelText(QFileDialog::Reject, QStringLiteral("Batal"));
        setProxyModel(new IndonesianHeaders(this));
        nameControlsInIndonesian();
    }

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (!files.isEmpty() && QFileInfo(files.first()).isFile() && !replaceConfirmed(files.first())) {
            return; // the dialog stays open for another name
        }
        QFileDialog::accept();
    }

private:
    // The tool buttons' tips, what screen readers say of the dialog's parts, and the file list's context
    // menu, found by the names Qt gives them; a part a Qt version lacks is left alone.
    void nameControlsInIndonesian()
    {
        struct Control {
            const char* object;
            const char* name;
            const char* description;
        };
        static const Control controls[] = {
            {"backButton", "Kembali", "Kembali ke folder sebelumnya"},
            {"forwardButton", "Maju", "Maju ke folder berikutnya"},
            {"toParentButton", "Folder Induk", "Naik ke folder induk"},
            {"newFolderButton", "Buat Folder Baru", "Membuat folder baru di sini"},
            {"listModeButton", "Tampilan Daftar", "Menampilkan berkas sebagai daftar"},
            {"detailModeButton", "Tampilan Rinci", "Menampilkan berkas beserta rinciannya"},
            {"listView", "Berkas", ""},
            {"treeView", "Berkas", ""},
            {"sidebar", "Tempat", "Daftar tempat dan penanda"},
        };
        for (const Control& control : controls) {
            if (auto* widget = findChild<QWidget*>(QLatin1StringView(control.object))) {
                if (!widget->toolTip().isEmpty()) {
                    widget->setToolTip(QString::fromUtf8(control.name));
                }
                widget->setAccessibleName(QString::fromUtf8(control.name));
                widget->setAccessibleDescription(QString::fromUtf8(control.description));
            }
        }
        for (const auto& [object, text] :
             {std::pair{"qt_rename_action", "&Ganti Nama"}, std::pair{"qt_delete_action", "&Hapus"},
              std::pair{"qt_show_hidden_action", "Tampilkan berkas &tersembunyi"},
              std::pair{"qt_new_folder_action", "Folder &Baru"}}) {
            if (auto* action = findChild<QAction*>(QLatin1StringView(object))) {
                action->setText(QString::fromUtf8(text));
            }
        }
    }

    bool replaceConfirmed(const QString& path)
    {
        QMessageBox question(
            QMessageBox::Warning, windowTitle(),
            QStringLiteral("Berkas %1 sudah ada.\nGanti dengan yang baru?").arg(QFileInfo(path).fileName()),
            QMessageBox::NoButton, this);
        question.setTextFormat(Qt::PlainText);
        QPushButton* replace = question.addButton(QStringLiteral("Ganti"), QMessageBox::AcceptRole);
        question.setDefaultButton(question.addButton(QStringLiteral("Batal"), QMessageBox::RejectRole));
        question.exec();
        return question.clickedButton() == replace;
    }
};

} // namespace

QString askSavePath(QWidget* parent, const QString& title, const QString& proposedPath, const QString& filter)
{
    IndonesianSaveDialog dialog(parent, title, proposedPath, filter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().first();
}

} // namespace app
