#include "app/main_window.h"
#include "recording_browser.h"
#include "recording_dialogs.h"

#include "app/form_controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class Form1Test : public ::testing::Test {
protected:
    template <class T = QWidget>
    T* control(const char* name)
    {
        T* found = form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // The widget that the Tab key moves the focus to.
    static QWidget* nextTabStop(QWidget* widget)
    {
        QWidget* next = widget->nextInFocusChain();
        while (next != widget && !(next->focusPolicy() & Qt::TabFocus)) {
            next = next->nextInFocusChain();
        }
        return next;
    }

    QColor textColor(const char* name) { return control(name)->palette().color(QPalette::WindowText); }

    RecordingDialogs dialogs;
    RecordingBrowser browser;
    app::Form1 form{&dialogs, &browser};
};

} // namespace

TEST_F(Form1Test, atStart_controlsHaveTheirPlacesTextsAndColours)
{
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Murenta Tervalis Helper"));
    EXPECT_EQ(form.size(), QSize(628, 365));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    struct Case {
        const char* name;
        QRect geometry; // pixels: twips / 15
    };
    for (const Case& c :
         {Case{"picHeader", {0, 0, 633, 60}}, Case{"txtToken", {27, 138, 253, 17}}, Case{"txtNPSN", {27, 192, 253, 17}},
          Case{"user_OPS", {27, 245, 253, 17}}, Case{"picBtnSync", {20, 293, 267, 33}}, Case{"BtSync", {0, 7, 267, 20}},
          Case{"lblMainStatus", {313, 80, 300, 20}}, Case{"List1", {313, 131, 293, 197}},
          Case{"Label6", {560, 339, 57, 20}}}) {
        EXPECT_EQ(control(c.name)->geometry(), c.geometry) << c.name;
    }
    EXPECT_EQ(control<QLabel>("lblMainStatus")->text(), QStringLiteral("Status: MENUNGGU..."));
    EXPECT_EQ(textColor("lblMainStatus"), QColor(128, 128, 128));
    EXPECT_EQ(control<QLabel>("BtSync")->text(), QStringLiteral("Kirim Data"));
    EXPECT_EQ(control<app::ClickablePanel>("picBtnSync")->fill(), QColor(32, 96, 208));
    EXPECT_EQ(control<QLabel>("Label6")->text(), QStringLiteral("Versi 1.0"));
    EXPECT_EQ(control<QListWidget>("List1")->count(), 0);
    EXPECT_FALSE(control<QLineEdit>("txtToken")->hasFrame());
    EXPECT_EQ(control<QLineEdit>("txtToken")->echoMode(), QLineEdit::Normal);
    control<QLineEdit>("user_OPS")->setText(QString(40000, u'x')); // no length limit
    EXPECT_EQ(form.credentials().email.size(), 40000u);
    EXPECT_EQ(form.progressBarWidth(), 0.0);
    EXPECT_EQ(nextTabStop(control("txtToken")), control("txtNPSN"));
    EXPECT_EQ(nextTabStop(control("txtNPSN")), control("user_OPS"));
}

TEST_F(Form1Test, setProgress_setsWidthInTwipsWithoutRounding)
{
    struct Case {
        std::int64_t current;
        std::int64_t total;
        double width;
    };
    for (const Case& c : {Case{0, 1, 0}, Case{4, 0, 0}, Case{1, 1, 4400}, Case{3, 12, 1100}, Case{1, 3, 4400.0 / 3},
                          Case{40000, 80000, 2200}}) {
        form.SetProgress(c.current, c.total);
        EXPECT_DOUBLE_EQ(form.progressBarWidth(), c.width) << c.current << "/" << c.total;
    }
}

TEST_F(Form1Test, setStatus_prefixesTextAndColoursIt)
{
    form.SetStatus(u"SIAP", app::ColorReady);
    EXPECT_EQ(control<QLabel>("lblMainStatus")->text(), QStringLiteral("Status: SIAP"));
    EXPECT_EQ(textColor("lblMainStatus"), QColor(0, 192, 0));
    form.SetStatus(u"GAGAL TERHUBUNG", app::ColorFail);
    EXPECT_EQ(textColor("lblMainStatus"), QColor(255, 32, 32));
}

TEST_F(Form1Test, scrollLog_showsLastLineWithNothingSelected)
{
    auto* list = control<QListWidget>("List1");
    form.ScrollLog(); // on an empty log: nothing changes
    EXPECT_EQ(list->count(), 0);
    form.showAndPaint();
    for (int i = 0; i < 40; ++i) {
        form.appendLog(u"[i] baris");
    }
    EXPECT_EQ(list->verticalScrollBar()->value(), 0); // appending alone does not scroll
    form.ScrollLog();
    EXPECT_EQ(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
    EXPECT_TRUE(list->selectedItems().isEmpty());
    form.clearLog();
    EXPECT_EQ(list->count(), 0);
}

TEST_F(Form1Test, clicks_reachTheWorkflowOnlyFromEnabledLabel)
{
    int labelClicks = 0;
    int panelClicks = 0;
    QObject::connect(&form, &app::Form1::sendLabelClicked, [&] { ++labelClicks; });
    QObject::connect(&form, &app::Form1::sendPanelClicked, [&] { ++panelClicks; });
    form.showAndPaint();
    auto* label = control("BtSync");
    auto* panel = control("picBtnSync");
    QTest::mouseClick(label, Qt::LeftButton);
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(5, 2)); // the bare strip above the label
    EXPECT_EQ(labelClicks, 1);
    EXPECT_EQ(panelClicks, 1);
    form.setSendEnabled(false);
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(labelClicks, 1); // a disabled label raises no click of its own
    EXPECT_FALSE(form.isSendEnabled());
}

TEST_F(Form1Test, credentialsAndButton_roundTripThroughTheControls)
{
    const app::Credentials c{u"tok \"en\"", u"20500123", u"ops@sekolah.id"};
    form.setCredentials(c);
    EXPECT_EQ(form.credentials(), c);
    form.setSendCaption(u"Memproses...");
    form.setSendPanelColor(app::ColorWaiting);
    EXPECT_EQ(control<QLabel>("BtSync")->text(), QStringLiteral("Memproses..."));
    EXPECT_EQ(control<app::ClickablePanel>("picBtnSync")->fill(), QColor(128, 128, 128));
}

TEST_F(Form1Test, pageTheBrowserCannotOpen_showsItsAddress)
{
    form.openPage(u"https://example.invalid/a");
    EXPECT_TRUE(dialogs.shown.empty());
    browser.result = false;
    form.openPage(u"https://example.invalid/b");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, u"Buka alamat ini di browser: https://example.invalid/b");
    EXPECT_EQ(dialogs.shown[0].title, u"Murenta Tervalis Helper");
    EXPECT_EQ(dialogs.shown[0].icon, platform::MessageIcon::Information);
}

TEST_F(Form1Test, closing_dropsBoxesAndPages)
{
    form.dialogs().messageBox(u"shown", u"t", platform::MessageIcon::None);
    form.openPage(u"https://example.invalid/a");
    form.showAndPaint();
    form.close();
    EXPECT_TRUE(form.isClosing());
    form.dialogs().messageBox(u"not shown", u"t", platform::MessageIcon::None);
    form.openPage(u"https://example.invalid/b");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, u"shown");
    EXPECT_EQ(browser.opened, std::vector<std::u16string>{u"https://example.invalid/a"});
}
