#include "app/main_window.h"
#include "recording_browser.h"
#include "recording_dialogs.h"

#include "app/form_controls.h"
#include "app/history_dialog.h"
#include "json/utf8.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

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

    // The send button: the panel picBtnSync with its caption BtSync drawn on it.
    app::SendButton* sendButton() { return control<app::SendButton>("picBtnSync"); }

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
    for (const Case& c : {Case{"picHeader", {0, 0, 633, 60}}, Case{"txtToken", {27, 138, 253, 17}},
                          Case{"txtNPSN", {27, 192, 253, 17}}, Case{"user_OPS", {27, 245, 253, 17}},
                          Case{"picBtnSync", {20, 293, 267, 33}}, Case{"lblMainStatus", {313, 80, 300, 20}},
                          Case{"List1", {313, 131, 293, 197}}, Case{"Label6", {560, 339, 57, 20}}}) {
        EXPECT_EQ(control(c.name)->geometry(), c.geometry) << c.name;
    }
    EXPECT_EQ(sendButton()->captionRect(), QRect(0, 7, 267, 20)); // BtSync
    EXPECT_EQ(control<QLabel>("lblMainStatus")->text(), QStringLiteral("Status: MENUNGGU..."));
    EXPECT_EQ(textColor("lblMainStatus"), QColor(128, 128, 128));
    EXPECT_EQ(sendButton()->text(), QStringLiteral("Kirim Data"));
    EXPECT_EQ(sendButton()->fill(), QColor(32, 96, 208));
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
    form.SetStatus(u"SIAP", workflow::ColorReady);
    EXPECT_EQ(control<QLabel>("lblMainStatus")->text(), QStringLiteral("Status: SIAP"));
    EXPECT_EQ(textColor("lblMainStatus"), QColor(0, 192, 0));
    form.SetStatus(u"GAGAL TERHUBUNG", workflow::ColorFail);
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
    auto* panel = sendButton();
    const QPoint label = panel->captionRect().center();
    QTest::mouseClick(panel, Qt::LeftButton, {}, label);
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(5, 2)); // the bare strip above the label
    EXPECT_EQ(labelClicks, 1);
    EXPECT_EQ(panelClicks, 1);
    form.setSendEnabled(false);
    QTest::mouseClick(panel, Qt::LeftButton, {}, label);
    EXPECT_EQ(labelClicks, 1); // a disabled label raises no click of its own
    EXPECT_FALSE(form.isSendEnabled());
}

TEST_F(Form1Test, credentialsAndButton_roundTripThroughTheControls)
{
    const workflow::Credentials c{u"tok \"en\"", u"20500123", u"ops@sekolah.id"};
    form.setCredentials(c);
    EXPECT_EQ(form.credentials(), c);
    form.setSendCaption(u"Memproses...");
    form.setSendPanelColor(workflow::ColorWaiting);
    EXPECT_EQ(sendButton()->text(), QStringLiteral("Memproses..."));
    EXPECT_EQ(sendButton()->fill(), QColor(128, 128, 128));
}

TEST_F(Form1Test, readOnlyCredentialBoxes_refuseTypingUntilEditableAgain)
{
    form.showAndPaint();
    form.setCredentials({u"t", u"n", u"u"});
    for (const bool readOnly : {true, false}) {
        form.setCredentialsReadOnly(readOnly);
        for (const char* name : {"txtToken", "txtNPSN", "user_OPS"}) {
            auto* box = control<QLineEdit>(name);
            box->setFocus();
            box->end(false);
            QTest::keyClicks(box, QStringLiteral("x"));
        }
        const workflow::Credentials typed =
            readOnly ? workflow::Credentials{u"t", u"n", u"u"} : workflow::Credentials{u"tx", u"nx", u"ux"};
        EXPECT_EQ(form.credentials(), typed);
    }
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

namespace {

int whitePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y) == QColor(Qt::white) ? 1 : 0;
        }
    }
    return count;
}

} // namespace

TEST_F(Form1Test, disabledSendLabel_isDrawnGreyedOnTheSamePanel)
{
    form.showAndPaint();
    auto* panel = sendButton();
    auto* label = control<QLabel>("BtSync");
    EXPECT_EQ(label->palette().color(QPalette::Active, QPalette::WindowText), QColor(Qt::white));
    const int whiteWhenEnabled = whitePixels(panel->grab().toImage());
    EXPECT_GT(whiteWhenEnabled, 20);

    form.setSendEnabled(false);
    const QColor disabledText = QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
    EXPECT_EQ(label->palette().color(QPalette::Disabled, QPalette::WindowText), disabledText);
    EXPECT_NE(disabledText, QColor(Qt::white));
    const QImage greyed = panel->grab().toImage();
    EXPECT_EQ(whitePixels(greyed), 0);
    EXPECT_EQ(panel->fill(), QColor(32, 96, 208));
    EXPECT_EQ(greyed.pixelColor(2, 2), QColor(32, 96, 208));

    form.setSendEnabled(true);
    EXPECT_EQ(whitePixels(panel->grab().toImage()), whiteWhenEnabled);
}

TEST_F(Form1Test, enterInACredentialBox_actsAsAPanelClickWhileTheLabelIsEnabled)
{
    int panelClicks = 0;
    QObject::connect(&form, &app::Form1::sendPanelClicked, [&] { ++panelClicks; });
    form.showAndPaint();
    for (const char* name : {"txtToken", "txtNPSN", "user_OPS"}) {
        QTest::keyClick(control(name), Qt::Key_Return);
        QTest::keyClick(control(name), Qt::Key_Enter, Qt::KeypadModifier);
    }
    EXPECT_EQ(panelClicks, 6);
    form.setSendEnabled(false);
    for (const char* name : {"txtToken", "txtNPSN", "user_OPS"}) {
        QTest::keyClick(control(name), Qt::Key_Return);
    }
    EXPECT_EQ(panelClicks, 6);
}

TEST_F(Form1Test, logMenu_copiesAllLinesWithCrLf)
{
    form.showAndPaint();
    for (const char16_t* line : {u"[i] Cek Email ...", u"    [v] Kirim Data Sukses (4 baris)", u""}) {
        form.appendLog(line);
    }
    auto* list = control<QListWidget>("List1");
    emit list->customContextMenuRequested(QPoint(10, 10));
    ASSERT_TRUE(form.logMenu()->isVisible());
    QStringList titles;
    for (const QAction* action : form.logMenu()->actions()) {
        titles << action->text();
    }
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Salin Semua"), QStringLiteral("Simpan Log...")}));
    form.logMenu()->hide();

    form.findChild<QAction*>(QStringLiteral("actCopyAll"))->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("[i] Cek Email ...\r\n    [v] Kirim Data Sukses (4 baris)\r\n"));
}

TEST_F(Form1Test, logKeys_selectAllAndCopyTheSelection)
{
    form.showAndPaint();
    for (const char16_t* line : {u"satu", u"dua", u"tiga"}) {
        form.appendLog(line);
    }
    auto* list = control<QListWidget>("List1");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("satu\r\ndua\r\ntiga"));
    list->clearSelection();
    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("satu\r\ntiga"));
}

TEST_F(Form1Test, saveLog_proposesADatedNameInDocumentsAndWritesUtf8WithCrLf)
{
    QTemporaryDir folder;
    QString proposed;
    QString chosen = folder.filePath(QStringLiteral("log.txt"));
    form.setSavePathChooser([&](const QString& path) {
        proposed = path;
        return chosen;
    });
    form.appendLog(u"[x] Email Tidak Valid !");
    form.appendLog(u"Kelas \u00e9\u00e8");
    QAction* save = form.findChild<QAction*>(QStringLiteral("actSaveLog"));
    save->trigger();

    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(documents).isDir()) {
        documents = QDir::homePath();
    }
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(documents) +
                                   QStringLiteral("/log-kirim-\\d{8}-\\d{6}\\.txt$"))
                    .match(proposed)
                    .hasMatch())
        << proposed.toStdString();
    QFile file(chosen);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[x] Email Tidak Valid !\r\nKelas \xc3\xa9\xc3\xa8\r\n"));
    EXPECT_TRUE(dialogs.shown.empty());

    chosen = folder.filePath(QStringLiteral("tidak-ada/log.txt")); // a folder that does not exist
    save->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, u"Error");
    EXPECT_TRUE(dialogs.shown[0].text.starts_with(u"Log tidak dapat disimpan ke " + chosen.toStdU16String()));

    chosen.clear(); // cancelled: nothing written, nothing shown
    save->trigger();
    EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(Form1Test, everyText_fitsItsControlAtEveryScaleWithoutGoingBelow8pt)
{
    const auto fits = [](const QLabel* label) {
        return app::fitsAtEveryScale(label->font(), label->text(), label->width()) &&
               label->font().pointSizeF() >= app::kSmallestPointSize;
    };
    for (const char* name : {"lblAppTitle", "lblAuth", "Label1", "Label2", "Label3", "BtSync", "Label6"}) {
        EXPECT_TRUE(fits(control<QLabel>(name))) << name;
    }
    auto* status = control<QLabel>("lblMainStatus");
    const std::vector<std::u16string> statuses{u"MENUNGGU...",
                                               u"MENGHUBUNGKAN SERVER...",
                                               u"SIAP",
                                               u"GAGAL TERHUBUNG",
                                               u"BUTUH UPDATE",
                                               u"MENGHUBUNGKAN...",
                                               u"GAGAL",
                                               u"GAGAL LOGIN",
                                               u"LIMIT TERCAPAI",
                                               u"SINKRONISASI 100/100",
                                               u"SELESAI (ADA ERROR)",
                                               u"MEREKAP DATA...",
                                               u"SELESAI!"};
    for (const std::u16string& text : statuses) {
        form.SetStatus(text, workflow::ColorBusy);
        EXPECT_TRUE(fits(status)) << json::Utf16ToUtf8(text);
    }
    form.SetStatus(u"SIAP", workflow::ColorReady); // a short text keeps the table's font
    EXPECT_EQ(status->font().pointSizeF(), 11.25);
    for (const char16_t* caption : {u"Memproses...", u"Kirim Data"}) {
        form.setSendCaption(caption);
        EXPECT_TRUE(fits(control<QLabel>("BtSync"))) << json::Utf16ToUtf8(caption);
    }
    form.setVersionText(u"Versi 2.0");
    EXPECT_TRUE(fits(control<QLabel>("Label6")));
}

TEST(FittedFont, everyCandidateFamily_shrinksOnlyWhatDoesNotFit)
{
    struct Case {
        const char* what;
        QString text;
        double points;
        int width; // pixels
        bool bold = true;
    };
    const std::vector<Case> cases{
        {"title", QStringLiteral("MURENTA TERVALIS HELPER"), 15.75, 333},
        {"longest status", QStringLiteral("Status: MENGHUBUNGKAN SERVER..."), 11.25, 300},
        {"status", QStringLiteral("Status: SELESAI (ADA ERROR)"), 11.25, 300},
        {"version", QStringLiteral("Versi 2.0"), 9, 57},
        {"caption", QStringLiteral("Kredensial Autentikasi"), 11.25, 267},
        {"version within the log", QStringLiteral("Versi 2.0"), 9, 46, false},
    };
    for (const QString& family : app::uiFontFamilies()) {
        if (!QFontDatabase::hasFamily(family)) {
            continue;
        }
        for (const Case& c : cases) {
            QFont font(family);
            font.setPointSizeF(c.points);
            font.setBold(c.bold);
            const QFont fitted = app::fittedFont(font, c.text, c.width);
            EXPECT_TRUE(app::fitsAtEveryScale(fitted, c.text, c.width)) << c.what << " " << family.toStdString();
            EXPECT_GE(fitted.pointSizeF(), app::kSmallestPointSize);
            // Just enough: a quarter point larger would not fit.
            if (fitted.pointSizeF() < c.points) {
                QFont larger = fitted;
                larger.setPointSizeF(fitted.pointSizeF() + 0.25);
                EXPECT_FALSE(app::fitsAtEveryScale(larger, c.text, c.width)) << c.what;
            }
        }
    }
    QFont huge = app::uiFont(40, true);
    EXPECT_EQ(app::fittedFont(huge, QStringLiteral("MURENTA TERVALIS HELPER"), 20).pointSizeF(), 8.0);
}

namespace {

// The send control as it was built before it became a button: a panel filled in one colour and, on its
// middle strip, a bold white caption label (drawn the platform's disabled way when disabled). Drawn
// here with the same fonts as the window, so the comparison holds with whichever family the machine has.
QImage formerSendControl(const QString& caption, bool enabled, const QColor& fill)
{
    QWidget panel;
    panel.resize(267, 33);
    QPalette panelPalette = panel.palette();
    panelPalette.setColor(QPalette::Window, fill);
    panel.setPalette(panelPalette);
    panel.setAutoFillBackground(true);
    QLabel label(&panel);
    label.setGeometry(0, 7, 267, 20);
    label.setFont(app::fittedFont(app::uiFont(11.25, true), caption, label.width()));
    label.setText(caption);
    label.setAlignment(Qt::AlignCenter);
    QPalette labelPalette = label.palette();
    labelPalette.setColor(QPalette::Active, QPalette::WindowText, Qt::white);
    labelPalette.setColor(QPalette::Inactive, QPalette::WindowText, Qt::white);
    label.setPalette(labelPalette);
    label.setEnabled(enabled);
    return panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST_F(Form1Test, sendControl_looksAsBeforeInEveryState)
{
    form.showAndPaint();
    struct Case {
        const char* state;
        const char16_t* caption;
        bool enabled;
        workflow::Color fill;
    };
    for (const Case& c : {Case{"enabled", u"Kirim Data", true, workflow::ColorButton},
                          Case{"greyed", u"Kirim Data", false, workflow::ColorButton},
                          Case{"busy", u"Memproses...", false, workflow::ColorWaiting}}) {
        form.setSendCaption(c.caption);
        form.setSendEnabled(c.enabled);
        form.setSendPanelColor(c.fill);
        const QImage shown = control("picBtnSync")->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage expected =
            formerSendControl(QString::fromStdU16String(c.caption), c.enabled,
                              QColor(workflow::redOf(c.fill), workflow::greenOf(c.fill), workflow::blueOf(c.fill)));
        EXPECT_EQ(shown, expected) << c.state;
    }
}

TEST_F(Form1Test, sendButton_takesTheKeyboardAfterTheBoxesAndShowsARingWhileFocused)
{
    int presses = 0;
    QObject::connect(&form, &app::Form1::sendLabelClicked, [&] { ++presses; });
    form.showAndPaint();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    auto* button = sendButton();
    EXPECT_EQ(nextTabStop(control("user_OPS")), button);
    EXPECT_EQ(nextTabStop(button), control("List1"));

    QTest::mouseClick(button, Qt::LeftButton, {}, button->captionRect().center());
    EXPECT_FALSE(button->hasFocus()); // the mouse leaves the look as it was
    for (workflow::Color fill : {workflow::ColorButton, workflow::ColorWaiting}) {
        form.setSendPanelColor(fill);
        control("txtToken")->setFocus();
        const QImage plain = button->grab().toImage();
        button->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(button->hasFocus());
        const QImage ringed = button->grab().toImage();
        // A white ring 2 pixels wide, 2 pixels inside the panel's edge; nothing else changes.
        const QRect ringOuter = button->rect().adjusted(2, 2, -2, -2);
        const QRect ringInner = ringOuter.adjusted(2, 2, -2, -2);
        int unexpected = 0;
        for (int y = 0; y < ringed.height(); ++y) {
            for (int x = 0; x < ringed.width(); ++x) {
                const bool onRing = ringOuter.contains(x, y) && !ringInner.contains(x, y);
                unexpected += ringed.pixelColor(x, y) != (onRing ? QColor(Qt::white) : plain.pixelColor(x, y));
            }
        }
        EXPECT_EQ(unexpected, 0) << workflow::redOf(fill);
    }

    QTest::keyClick(button, Qt::Key_Space);
    QTest::keyClick(button, Qt::Key_Return);
    QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(presses, 4);      // the mouse's, then the three keys'
    form.setSendEnabled(false); // during a run: the focus moves on, and Tab passes the button over
    EXPECT_EQ(QApplication::focusWidget(), control("List1"));
    control("user_OPS")->setFocus();
    QTest::keyClick(control("user_OPS"), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control("List1"));
}

TEST_F(Form1Test, screenReader_findsEveryControlByName)
{
    form.SetStatus(u"SIAP", workflow::ColorReady);
    struct Case {
        const char* control;
        QAccessible::Role role;
        QString name;
    };
    for (const Case& c : {Case{"txtToken", QAccessible::EditableText, QStringLiteral("Token Web Service Murenta :")},
                          Case{"txtNPSN", QAccessible::EditableText, QStringLiteral("NPSN :")},
                          Case{"user_OPS", QAccessible::EditableText, QStringLiteral("Username OPS Murenta :")},
                          Case{"picBtnSync", QAccessible::Button, QStringLiteral("Kirim Data")},
                          Case{"lblMainStatus", QAccessible::StaticText, QStringLiteral("Status")},
                          Case{"List1", QAccessible::List, QStringLiteral("Log aktivitas")}}) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control(c.control));
        ASSERT_NE(accessible, nullptr) << c.control;
        EXPECT_EQ(accessible->role(), c.role) << c.control;
        EXPECT_EQ(accessible->text(QAccessible::Name), c.name) << c.control;
    }
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(sendButton());
    EXPECT_FALSE(button->text(QAccessible::Description).isEmpty());
    EXPECT_TRUE(button->state().defaultButton);
    // Behind the name, the status itself.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(control("lblMainStatus"))->text(QAccessible::Description),
              QStringLiteral("SIAP"));
}

TEST_F(Form1Test, newLogLine_becomesTheLogsDescriptionForScreenReaders)
{
    QAccessibleInterface* log = QAccessible::queryAccessibleInterface(control("List1"));
    for (const char16_t* line : {u"[i] Cek Email ...", u"[v] Email Valid"}) {
        form.appendLog(line);
        EXPECT_EQ(log->text(QAccessible::Description), QString::fromStdU16String(line));
    }
    form.clearLog();
    EXPECT_TRUE(log->text(QAccessible::Description).isEmpty());
}

TEST_F(Form1Test, firstStart_boxesSayWhatToTypeAndAWrongNpsnGetsAQuietNote)
{
    struct Case {
        const char* box;
        const char* caption;
        QString placeholder;
    };
    for (const Case& c : {Case{"txtToken", "Label1", QStringLiteral("Token dari menu Web Service di aplikasi Murenta")},
                          Case{"txtNPSN", "Label2", QStringLiteral("8 angka NPSN sekolah")},
                          Case{"user_OPS", "Label3", QStringLiteral("Email akun Operator Sekolah di Murenta")}}) {
        EXPECT_EQ(control<QLineEdit>(c.box)->placeholderText(), c.placeholder);
        const QString explanation = control(c.caption)->toolTip();
        EXPECT_GT(explanation.size(), c.placeholder.size()) << c.caption; // the same, at more length
        EXPECT_EQ(control(c.box)->accessibleDescription(), explanation);
    }

    int sends = 0;
    QObject::connect(&form, &app::Form1::sendPanelClicked, [&] { ++sends; });
    form.showAndPaint();
    auto* npsn = control<QLineEdit>("txtNPSN");
    auto* note = control<QLabel>("lblNpsnNote");
    EXPECT_EQ(note->text(), QStringLiteral("Bukan 8 angka"));
    EXPECT_EQ(textColor("lblNpsnNote"), QColor(255, 32, 32));
    EXPECT_LT(note->font().pointSizeF(), npsn->font().pointSizeF());
    for (const auto& [typed, noted] :
         {std::pair{"", false}, std::pair{"20500123", false}, std::pair{"2050012", true}, std::pair{"205001234", true},
          std::pair{"2050012a", true}, std::pair{" 20500123", true}}) {
        npsn->setText(QString::fromLatin1(typed));
        EXPECT_EQ(note->isVisible(), noted) << typed;
    }
    QTest::keyClick(npsn, Qt::Key_Return); // the local service decides
    EXPECT_EQ(sends, 1);
}

namespace {

// Where a control shows at `scale`, in the window's device pixels: the whole pixels Qt gives the widget,
// or, for a label with a text on no background of its own, where the text runs, measured as
// fitsAtEveryScale measures it.
QRectF deviceExtent(const QWidget* control, double scale)
{
    const QRectF geometry = control->geometry();
    const QRectF owned = app::ownedDevicePixels(QRectF(geometry.topLeft() * scale, geometry.size() * scale));
    const auto* label = qobject_cast<const QLabel*>(control);
    if (label == nullptr || label->text().isEmpty() || label->autoFillBackground()) {
        return owned;
    }
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    const double width = QFontMetricsF(font).horizontalAdvance(label->text());
    double left = geometry.left() * scale;
    if (label->alignment() & Qt::AlignRight) {
        left = geometry.right() * scale - width;
    } else if (label->alignment() & Qt::AlignHCenter) {
        left += (geometry.width() * scale - width) / 2;
    }
    return {left, owned.top(), width, owned.height()};
}

} // namespace

TEST_F(Form1Test, everyControl_staysWholeInsideTheWindowAndClearOfTheOthersAtEveryScale)
{
    form.setCredentials({u"token", u"2050", u"ops@sekolah.id"}); // the NPSN's note shows too
    form.setVersionText(u"Versi 2.0");
    form.showAndPaint();
    // Drawn one over the other by design: each box on its rounded frame, the progress bar on its ground.
    const std::set<std::pair<QString, QString>> layered{
        {QStringLiteral("shpToken"), QStringLiteral("txtToken")},
        {QStringLiteral("shpNpsn"), QStringLiteral("txtNPSN")},
        {QStringLiteral("shpUser"), QStringLiteral("user_OPS")},
        {QStringLiteral("lblProgressBG"), QStringLiteral("lblProgressBar")}};
    QList<QWidget*> controls;
    for (QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible()) {
            controls << child;
        }
    }
    ASSERT_TRUE(control("lblNpsnNote")->isVisible());
    for (double scale : app::kScaleFactors) {
        const QRectF window(0, 0, qRound(form.width() * scale), qRound(form.height() * scale));
        for (qsizetype i = 0; i < controls.size(); ++i) {
            const QRectF extent = deviceExtent(controls[i], scale);
            const QString name = controls[i]->objectName();
            if (extent.isEmpty()) {
                continue; // the progress bar at 0
            }
            // The header's fill runs past the window's right edge, as laid out.
            if (name != QStringLiteral("picHeader")) {
                EXPECT_TRUE(window.contains(extent)) << name.toStdString() << " at " << scale;
            }
            for (qsizetype j = i + 1; j < controls.size(); ++j) {
                const QString other = controls[j]->objectName();
                if (!layered.contains({name, other}) && !layered.contains({other, name})) {
                    EXPECT_FALSE(extent.intersects(deviceExtent(controls[j], scale)))
                        << name.toStdString() << " and " << other.toStdString() << " at " << scale;
                }
            }
        }
        EXPECT_LE(deviceExtent(control("Label6"), scale).right(), deviceExtent(control("List1"), scale).right())
            << "the version past the log's right edge at " << scale;
    }
}

TEST(FramedList, atWholeScales_looksAsAPlainList)
{
    QListWidget plain;
    app::FramedList framed;
    for (QListWidget* list : {&plain, static_cast<QListWidget*>(&framed)}) {
        list->resize(293, 197);
        for (int i = 0; i < 40; ++i) {
            list->addItem(QStringLiteral("[i] baris")); // with a scroll bar along the right side
        }
    }
    for (double scale : {1.0, 2.0}) {
        const auto drawn = [scale](QWidget& list) {
            QImage image(list.size() * scale, QImage::Format_RGB32);
            image.setDevicePixelRatio(scale);
            list.render(&image);
            return image;
        };
        EXPECT_EQ(drawn(framed), drawn(plain)) << "at " << scale;
    }
}

TEST_F(Form1Test, log_keepsItsWholeFrameAtFractionalScales)
{
    form.showAndPaint();
    for (int i = 0; i < 40; ++i) {
        form.appendLog(u"[i] baris"); // with a scroll bar along the right side
    }
    const QWidget* log = control("List1");
    QColor frame;
    for (double scale : app::kScaleFactors) {
        if (scale == std::round(scale)) {
            continue; // the style's own frame, as FramedList.atWholeScales_looksAsAPlainList checks
        }
        QImage image(form.size() * scale, QImage::Format_RGB32);
        image.setDevicePixelRatio(scale);
        form.render(&image);
        const QRect owned = app::ownedDevicePixels(QRectF(QPointF(log->pos()) * scale, QSizeF(log->size()) * scale));
        const QPoint middle = owned.center();
        const QPoint sides[] = {{middle.x(), owned.top()},
                                {middle.x(), owned.bottom()},
                                {owned.left(), middle.y()},
                                {owned.right(), middle.y()}};
        if (!frame.isValid()) {
            frame = image.pixelColor(sides[0]);
            EXPECT_NE(frame, image.pixelColor(sides[0] - QPoint(0, 1))); // not the window around it
            EXPECT_NE(frame, QColor(Qt::white));                         // nor the log's ground
        }
        for (const QPoint& side : sides) {
            EXPECT_EQ(image.pixelColor(side), frame) << "at " << scale << ", " << side.x() << "," << side.y();
        }
    }
}

// The link to the send history sits beside the version label, inside the window, over no other control,
// and its text fits at every scale; each click opens the one history view with the history read anew.
TEST_F(Form1Test, historyLink_opensTheHistoryViewReadAnewEachTime)
{
    auto* link = control<QPushButton>("btnHistory");
    EXPECT_EQ(link->text(), QStringLiteral("Riwayat Kiriman"));
    EXPECT_TRUE(form.rect().contains(link->geometry()));
    for (const QWidget* other : form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (other != link && !other->isWindow()) {
            EXPECT_FALSE(other->geometry().intersects(link->geometry())) << other->objectName().toStdString();
        }
    }
    EXPECT_TRUE(app::fitsAtEveryScale(link->font(), link->text(), link->width() - 2));
    EXPECT_GE(link->font().pointSizeF(), app::kSmallestPointSize);
    EXPECT_TRUE(link->focusPolicy() & Qt::TabFocus);

    int reads = 0;
    form.setHistorySource([&reads] {
        workflow::History history;
        for (int i = 0; i <= reads; ++i) {
            history.runs.push_back({.start = QDateTime::currentDateTime(), .status = u"SELESAI!"});
        }
        ++reads;
        return history;
    });
    form.showAndPaint();
    for (int clicks = 1; clicks <= 2; ++clicks) {
        QTest::mouseClick(link, Qt::LeftButton);
        const QList<app::HistoryDialog*> views = form.findChildren<app::HistoryDialog*>();
        ASSERT_EQ(views.size(), 1);
        EXPECT_TRUE(views[0]->isVisible());
        EXPECT_EQ(views[0]->findChild<QTreeWidget*>(QStringLiteral("lstRuns"))->topLevelItemCount(), clicks);
    }
    form.close();
    EXPECT_FALSE(form.findChild<app::HistoryDialog*>()->isVisible());
}
