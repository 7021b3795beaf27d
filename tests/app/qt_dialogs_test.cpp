#include "app/qt_dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using platform::MessageIcon;

namespace {

// Runs `inspect` on the modal dialog once it shows, from inside its own event loop.
void whenModalShows(std::function<void(QWidget*)> inspect)
{
    QTimer::singleShot(0, [inspect = std::move(inspect)] { inspect(QApplication::activeModalWidget()); });
}

} // namespace

TEST(QtDialogs, messageBox_showsTextTitleAndIcon)
{
    struct Case {
        const char* name;
        std::u16string text;
        std::optional<std::u16string_view> title;
        MessageIcon icon;
        QString expectedTitle;
        QMessageBox::Icon expectedIcon;
    };
    for (const Case& c : {
             Case{"no title", u"Gagal: Username Salah !!!", std::nullopt, MessageIcon::None,
                  QStringLiteral("Murenta Tervalis Helper"), QMessageBox::NoIcon},
             Case{"own title", u"Data terkirim", u"Selesai", MessageIcon::Information, QStringLiteral("Selesai"),
                  QMessageBox::Information},
             Case{"empty title", u"x", u"", MessageIcon::Warning, QString(), QMessageBox::Warning},
             Case{"error icon, markup stays text", u"<b>Error:</b> gagal", std::nullopt, MessageIcon::Error,
                  QStringLiteral("Murenta Tervalis Helper"), QMessageBox::Critical},
         }) {
        QString seenTitle;
        QString seenText;
        Qt::TextFormat seenFormat = Qt::AutoText;
        QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
        bool seen = false;
        whenModalShows([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            seen = true;
            seenTitle = box->windowTitle();
            seenText = box->text();
            seenFormat = box->textFormat();
            seenIcon = box->icon();
            ASSERT_EQ(box->buttons().size(), 1);
            box->buttons().front()->click();
        });
        app::QtDialogs().messageBox(c.text, c.title, c.icon);
        ASSERT_TRUE(seen) << c.name;
        EXPECT_EQ(seenTitle, c.expectedTitle) << c.name;
        EXPECT_EQ(seenText.toStdU16String(), c.text) << c.name;
        EXPECT_EQ(seenFormat, Qt::PlainText) << c.name;
        EXPECT_EQ(seenIcon, c.expectedIcon) << c.name;
    }
}

TEST(QtDialogs, choiceBox_isTrueOnlyForTheChoiceWithOkAsDefault)
{
    for (const bool choose : {true, false}) {
        QStringList buttons;
        bool okIsDefault = false;
        whenModalShows([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            for (const QAbstractButton* button : box->buttons()) {
                buttons << button->text();
            }
            okIsDefault = box->defaultButton() == box->button(QMessageBox::Ok);
            QAbstractButton* chosen = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                if ((button->text() == QStringLiteral("Kirim Ulang yang Gagal")) == choose) {
                    chosen = button;
                }
            }
            ASSERT_NE(chosen, nullptr);
            chosen->click();
        });
        EXPECT_EQ(app::QtDialogs().choiceBox(u"Ada yang gagal", u"Peringatan", MessageIcon::Warning,
                                             u"Kirim Ulang yang Gagal"),
                  choose);
        EXPECT_EQ(buttons.size(), 2) << buttons.join(u'|').toStdString();
        EXPECT_TRUE(buttons.contains(QStringLiteral("Kirim Ulang yang Gagal")));
        EXPECT_TRUE(okIsDefault);
    }
}

TEST(QtDialogs, inputBox_givesEnteredTextOrEmptyWhenCancelled)
{
    for (const bool accept : {true, false}) {
        QString seenTitle;
        QString seenPrompt;
        QString seenDefault;
        whenModalShows([&](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            seenTitle = dialog->windowTitle();
            seenPrompt = dialog->labelText();
            seenDefault = dialog->textValue();
            dialog->setTextValue(QStringLiteral("Budi \u00e9"));
            if (accept) {
                dialog->accept();
            } else {
                dialog->reject();
            }
        });
        const std::u16string answer = app::QtDialogs().inputBox(u"Nama?", u"Isian", u"awal");
        EXPECT_EQ(seenTitle, QStringLiteral("Isian"));
        EXPECT_EQ(seenPrompt, QStringLiteral("Nama?"));
        EXPECT_EQ(seenDefault, QStringLiteral("awal"));
        EXPECT_EQ(answer, accept ? u"Budi \u00e9" : u"") << accept;
    }
}
