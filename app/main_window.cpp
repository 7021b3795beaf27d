#include "app/main_window.h"

#include "app/desktop_browser.h"
#include "app/form_controls.h"
#include "app/history_dialog.h"
#include "app/log_export.h"
#include "app/qt_dialogs.h"
#include "app/save_dialog.h"
#include "platform/application.h"
#include "platform/qt_text.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <limits>

namespace app {
namespace {

using platform::toQString;
using platform::toU16;

constexpr double kTwipsPerPixel = 15.0;
constexpr int kProgressBackgroundWidth = 4400; // twips

int pixels(double twips)
{
    return qRound(twips / kTwipsPerPixel);
}

QRect twipsRect(int left, int top, int width, int height)
{
    return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

QColor toQColor(workflow::Color color)
{
    return {workflow::redOf(color), workflow::greenOf(color), workflow::blueOf(color)};
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

// The colour of an enabled caption only: disabled, the label keeps the platform's disabled text colour
// and is drawn greyed as the platform draws disabled labels.
void setEnabledTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, color);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, color);
    widget->setPalette(palette);
}

QFont captionFont()
{
    return uiFont(11.25, true);
}

// Sets the text in the control's own font, or a smaller one when the text would not fit its width.
void setFittedText(QLabel* label, const QString& text, const QFont& font)
{
    label->setFont(fittedFont(font, text, label->width()));
    label->setText(text);
}

void setFill(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QLabel* makeLabel(QWidget* parent, const QRect& geometry, const QString& text, const QFont& font)
{
    auto* label = new QLabel(parent);
    label->setGeometry(geometry);
    setFittedText(label, text, font);
    return label;
}

QLineEdit* makeTextBox(QWidget* parent, const QRect& geometry)
{
    auto* box = new QLineEdit(parent);
    box->setGeometry(geometry);
    box->setFrame(false);
    box->setMaxLength(std::numeric_limits<int>::max()); // no limit of its own
    box->setFont(uiFont(9));
    return box;
}

} // namespace

// Drops every box once the window is closing: work that is being cut short must not pop up anything.
class Form1::ClosingAwareDialogs final : public platform::Dialogs {
public:
    ClosingAwareDialogs(const Form1& window, platform::Dialogs& dialogs) : m_window(window), m_dialogs(dialogs) {}

    void messageBox(std::u16string_view text, std::optional<std::u16string_view> title,
                    platform::MessageIcon icon) override
    {
        if (!m_window.isClosing()) {
            m_dialogs.messageBox(text, title, icon);
        }
    }
    bool choiceBox(std::u16string_view text, std::optional<std::u16string_view> title, platform::MessageIcon icon,
                   std::u16string_view choice) override
    {
        return !m_window.isClosing() && m_dialogs.choiceBox(text, title, icon, choice);
    }
    std::u16string inputBox(std::u16string_view prompt, std::u16string_view title,
                            std::u16string_view defaultText) override
    {
        return m_window.isClosing() ? std::u16string() : m_dialogs.inputBox(prompt, title, defaultText);
    }

private:
    const Form1& m_window;
    platform::Dialogs& m_dialogs;
};

Form1::Form1(platform::Dialogs* dialogs, platform::Browser* browser, QWidget* parent) : QWidget(parent)
{
    if (dialogs == nullptr) {
        m_ownDialogs = std::make_unique<QtDialogs>(this);
        dialogs = m_ownDialogs.get();
    }
    if (browser == nullptr) {
        m_ownBrowser = std::make_unique<DesktopBrowser>();
        browser = m_ownBrowser.get();
    }
    m_browser = browser;
    m_dialogs = std::make_unique<ClosingAwareDialogs>(*this, *dialogs);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Murenta Tervalis Helper"));
    setFixedSize(pixels(9420), pixels(5475));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(uiFont(9));
    setFill(this, QColor(244, 244, 244));
    buildControls();
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    picHeader = new QWidget(this);
    picHeader->setObjectName(QStringLiteral("picHeader"));
    picHeader->setGeometry(twipsRect(0, 0, 9500, 900));
    setFill(picHeader, QColor(21, 24, 32));
    lblAppTitle = makeLabel(picHeader, twipsRect(300, 250, 5000, 400), QStringLiteral("MURENTA TERVALIS HELPER"),
                            uiFont(15.75, true));
    setTextColor(lblAppTitle, Qt::white);

    lblAuth =
        makeLabel(this, twipsRect(300, 1200, 4000, 300), QStringLiteral("Kredensial Autentikasi"), uiFont(11.25, true));
    setTextColor(lblAuth, QColor(64, 64, 64));

    buildCredentialRows();
    buildSendButton();

    lblMainStatus = makeLabel(this, twipsRect(4700, 1200, 4500, 300), QString(), captionFont());
    lblMainStatus->setObjectName(QStringLiteral("lblMainStatus"));
    lblMainStatus->setAccessibleName(QStringLiteral("Status"));
    showStatus(QStringLiteral("MENUNGGU..."), QColor(128, 128, 128));

    lblProgressBG = makeLabel(this, twipsRect(4700, 1600, kProgressBackgroundWidth, 150), QString(), font());
    setFill(lblProgressBG, QColor(224, 224, 224));
    lblProgressBar = makeLabel(this, twipsRect(4700, 1600, 0, 150), QString(), font());
    setFill(lblProgressBar, QColor(0, 128, 255));
    lblProgressBar->raise();

    List1 = new FramedList(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("Log aktivitas"));
    List1->setGeometry(twipsRect(4700, 1965, 4400, 2955));
    // Several lines can be selected (Ctrl+A, Shift or Ctrl with a click) so that they can be copied.
    List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List1->setSortingEnabled(false);
    buildLogMenu();

    Label6 = makeLabel(this, twipsRect(8400, 5085, 855, 300), QString(), uiFont(9));
    Label6->setObjectName(QStringLiteral("Label6"));
    setTextColor(Label6, QColor(128, 128, 128));
    setVersionText(u"Versi 1.0");
    buildHistoryLink();
    // Named like the others, so that tests and style sheets can find every control.
    for (auto [control, name] : {std::pair<QWidget*, const char*>{lblAppTitle, "lblAppTitle"},
                                 {lblAuth, "lblAuth"},
                                 {Label1, "Label1"},
                                 {shpToken, "shpToken"},
                                 {Label2, "Label2"},
                                 {shpNpsn, "shpNpsn"},
                                 {Label3, "Label3"},
                                 {shpUser, "shpUser"},
                                 {lblProgressBG, "lblProgressBG"},
                                 {lblProgressBar, "lblProgressBar"}}) {
        control->setObjectName(QLatin1StringView(name));
    }

    txtToken->setFocus();
}

void Form1::buildCredentialRows()
{
    struct Row {
        QLabel*& caption;
        RoundedFrame*& frame;
        QLineEdit*& box;
        int top; // twips
        QString text;
        QString placeholder;
        QString explanation;
    };
    const Row rows[] = {
        {Label1, shpToken, txtToken, 1700, QStringLiteral("Token Web Service Murenta :"),
         QStringLiteral("Token dari menu Web Service di aplikasi Murenta"),
         QStringLiteral("Token Web Service dari aplikasi Murenta: buka menu Web Service di Murenta, lalu salin "
                        "tokennya ke sini.")},
        {Label2, shpNpsn, txtNPSN, 2500, QStringLiteral("NPSN :"), QStringLiteral("8 angka NPSN sekolah"),
         QStringLiteral("NPSN (Nomor Pokok Sekolah Nasional) sekolah Anda: 8 angka, tanpa spasi.")},
        {Label3, shpUser, user_OPS, 3300, QStringLiteral("Username OPS Murenta :"),
         QStringLiteral("Email akun Operator Sekolah di Murenta"),
         QStringLiteral("Alamat email akun Murenta yang berperan Operator Sekolah, yang dipakai untuk masuk ke "
                        "aplikasi Murenta.")},
    };
    for (const Row& row : rows) {
        row.caption = makeLabel(this, twipsRect(300, row.top, 4000, 255), row.text, uiFont(9));
        row.caption->setToolTip(row.explanation);
        row.frame = new RoundedFrame(this);
        row.frame->setGeometry(twipsRect(300, row.top + 300, 4000, 400));
        row.box = makeTextBox(this, twipsRect(400, row.top + 375, 3800, 250));
        row.box->setPlaceholderText(row.placeholder);
        row.box->setAccessibleDescription(row.explanation);
        row.caption->setBuddy(row.box); // which gives the box its caption as its accessible name
    }
    txtToken->setObjectName(QStringLiteral("txtToken"));
    txtNPSN->setObjectName(QStringLiteral("txtNPSN"));
    user_OPS->setObjectName(QStringLiteral("user_OPS"));
    setTabOrder(txtToken, txtNPSN);
    setTabOrder(txtNPSN, user_OPS);

    // Right under the NPSN box's frame, on the right, clear of the next caption's text.
    lblNpsnNote =
        makeLabel(this, twipsRect(2300, 3210, 2000, 240), QStringLiteral("Bukan 8 angka"), uiFont(kSmallestPointSize));
    lblNpsnNote->setObjectName(QStringLiteral("lblNpsnNote"));
    lblNpsnNote->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblNpsnNote->setAttribute(Qt::WA_TransparentForMouseEvents); // the caption beneath keeps its tooltip
    setTextColor(lblNpsnNote, toQColor(workflow::ColorFail));
    lblNpsnNote->hide();
    connect(txtNPSN, &QLineEdit::textChanged, this, &Form1::showNpsnNote);
}

void Form1::buildSendButton()
{
    picBtnSync = new SendButton(this);
    picBtnSync->setObjectName(QStringLiteral("picBtnSync"));
    picBtnSync->setGeometry(twipsRect(300, 4400, 4000, 500));
    picBtnSync->setCaptionRect(twipsRect(0, 100, 4000, 300));
    picBtnSync->setFill(toQColor(workflow::ColorButton));
    picBtnSync->setCursor(Qt::PointingHandCursor);
    setEnabledTextColor(picBtnSync->caption(), Qt::white);
    setSendCaption(u"Kirim Data");
    picBtnSync->setAccessibleDescription(
        QStringLiteral("Menyimpan Token, NPSN dan Username, lalu mengirim data sekolah dari Murenta ke Tervalis"));
    setTabOrder(user_OPS, picBtnSync);
    connect(picBtnSync, &SendButton::captionClicked, this, &Form1::sendLabelClicked);
    connect(picBtnSync, &SendButton::panelClicked, this, &Form1::sendPanelClicked);
    // Enter in a credential box does what a press on the panel does, unless the button is disabled.
    for (QLineEdit* box : {txtToken, txtNPSN, user_OPS}) {
        connect(box, &QLineEdit::returnPressed, this, [this] {
            if (picBtnSync->isEnabled()) {
                emit sendPanelClicked();
            }
        });
    }
}

void Form1::showNpsnNote()
{
    const QString npsn = txtNPSN->text();
    const bool eightDigits =
        npsn.size() == 8 && std::all_of(npsn.begin(), npsn.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    lblNpsnNote->setVisible(!npsn.isEmpty() && !eightDigits);
}

void Form1::buildHistoryLink()
{
    // A link rather than a button: it must not draw the eye away from the layout of the send controls.
    btnHistory = new QPushButton(this);
    btnHistory->setObjectName(QStringLiteral("btnHistory"));
    btnHistory->setGeometry(twipsRect(6500, 5085, 1800, 300));
    btnHistory->setFlat(true);
    btnHistory->setCursor(Qt::PointingHandCursor);
    btnHistory->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; text-align: right;"
                                             " color: rgb(32, 96, 208); text-decoration: underline; }"
                                             "QPushButton:focus { border: 1px dotted rgb(32, 96, 208); }"));
    const QString text = QStringLiteral("Riwayat Kiriman");
    btnHistory->setFont(fittedFont(uiFont(9), text, btnHistory->width() - 2));
    btnHistory->setText(text);
    connect(btnHistory, &QPushButton::clicked, this, &Form1::showHistory);
}

void Form1::showHistory()
{
    if (m_historyDialog == nullptr) {
        m_historyDialog = new HistoryDialog(*m_dialogs, this);
    }
    m_historyDialog->setHistory(m_historySource ? m_historySource() : workflow::History{}, QDate::currentDate());
    m_historyDialog->show();
    m_historyDialog->raise();
    m_historyDialog->activateWindow();
}

void Form1::buildLogMenu()
{
    m_logMenu = new QMenu(List1);
    QAction* copyAll = m_logMenu->addAction(QStringLiteral("Salin Semua"), this, [this] { copyLogLines(false); });
    copyAll->setObjectName(QStringLiteral("actCopyAll"));
    QAction* save = m_logMenu->addAction(QStringLiteral("Simpan Log..."), this, &Form1::saveLog);
    save->setObjectName(QStringLiteral("actSaveLog"));
    List1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(List1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_logMenu->popup(List1->viewport()->mapToGlobal(at)); });

    // The list's own Ctrl+C copies only the current line.
    auto* copySelection = new QAction(List1);
    copySelection->setShortcut(QKeySequence::Copy);
    copySelection->setShortcutContext(Qt::WidgetShortcut);
    connect(copySelection, &QAction::triggered, this, [this] { copyLogLines(true); });
    List1->addAction(copySelection);

    m_chooseSavePath = [this](const QString& proposed) {
        return askSavePath(this, QStringLiteral("Simpan Log"), proposed, QStringLiteral("File teks (*.txt)"));
    };
}

QStringList Form1::logLines(bool selectedOnly) const
{
    QStringList lines;
    for (int row = 0; row < List1->count(); ++row) {
        const QListWidgetItem* item = List1->item(row);
        if (!selectedOnly || item->isSelected()) {
            lines << item->text();
        }
    }
    return lines;
}

void Form1::copyLogLines(bool selectedOnly)
{
    QGuiApplication::clipboard()->setText(joinLogLines(logLines(selectedOnly)));
}

void Form1::saveLog()
{
    const QString path = m_chooseSavePath(proposedLogPath(exportFolder(), QDateTime::currentDateTime()));
    if (path.isEmpty()) {
        return;
    }
    if (const QString error = writeLogFile(path, logLines(false)); !error.isEmpty()) {
        m_dialogs->messageBox(
            toU16(QStringLiteral("Log tidak dapat disimpan ke ") + path + QStringLiteral(": ") + error), u"Error",
            platform::MessageIcon::Error);
    }
}

void Form1::appendLog(std::u16string_view line)
{
    const QString text = toQString(line);
    List1->addItem(text);
    // The newest line is the log's description: Qt tells screen readers of the change (no alert that
    // interrupts them), and the log names it when it takes the focus.
    List1->setAccessibleDescription(text);
}

void Form1::clearLog()
{
    List1->clear();
    List1->setAccessibleDescription(QString());
}

void Form1::ScrollLog()
{
    if (List1->count() > 0) {
        QListWidgetItem* last = List1->item(List1->count() - 1);
        last->setSelected(true);
        List1->scrollToItem(last);
        List1->clearSelection();
    }
    QCoreApplication::processEvents();
}

void Form1::SetStatus(std::u16string_view text, workflow::Color color)
{
    showStatus(toQString(text), toQColor(color));
    QCoreApplication::processEvents();
}

void Form1::showStatus(const QString& text, const QColor& color)
{
    setFittedText(lblMainStatus, QStringLiteral("Status: ") + text, captionFont());
    setTextColor(lblMainStatus, color);
    // Its accessible name is "Status"; a screen reader finds the status itself here.
    lblMainStatus->setAccessibleDescription(text);
}

void Form1::SetProgress(std::int64_t current, std::int64_t total)
{
    m_progressBarWidth =
        total < 1 ? 0.0 : static_cast<double>(current) / static_cast<double>(total) * kProgressBackgroundWidth;
    lblProgressBar->resize(pixels(m_progressBarWidth), lblProgressBar->height());
    QCoreApplication::processEvents();
}

void Form1::setSendEnabled(bool enabled)
{
    picBtnSync->setEnabled(enabled);
}

bool Form1::isSendEnabled() const
{
    return picBtnSync->isEnabled();
}

void Form1::setSendCaption(std::u16string_view caption)
{
    const QString text = toQString(caption);
    picBtnSync->setCaption(text, fittedFont(captionFont(), text, picBtnSync->captionRect().width()));
}

void Form1::setSendPanelColor(workflow::Color color)
{
    picBtnSync->setFill(toQColor(color));
}

workflow::Credentials Form1::credentials() const
{
    return {toU16(txtToken->text()), toU16(txtNPSN->text()), toU16(user_OPS->text())};
}

void Form1::setCredentials(const workflow::Credentials& credentials)
{
    txtToken->setText(toQString(credentials.token));
    txtNPSN->setText(toQString(credentials.npsn));
    user_OPS->setText(toQString(credentials.email));
}

void Form1::setCredentialsReadOnly(bool readOnly)
{
    for (QLineEdit* box : {txtToken, txtNPSN, user_OPS}) {
        box->setReadOnly(readOnly);
    }
}

void Form1::setVersionText(std::u16string_view text)
{
    // The label reaches past the log's right edge; its text ends there at the latest.
    const int widthWithinLog = List1->geometry().right() + 1 - Label6->x();
    Label6->setFont(fittedFont(uiFont(9), toQString(text), widthWithinLog));
    Label6->setText(toQString(text));
}

void Form1::showAndPaint()
{
    if (!m_shownOnce) {
        m_shownOnce = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    show();
    QCoreApplication::processEvents();
}

void Form1::closeWindow()
{
    m_closing = true;
    close();
}

platform::Dialogs& Form1::dialogs()
{
    return *m_dialogs;
}

void Form1::openPage(std::u16string_view url)
{
    if (m_closing) {
        return;
    }
    // Without a browser the operator must still learn where the page is.
    if (!m_browser->openUrl(url)) {
        m_dialogs->messageBox(u"Buka alamat ini di browser: " + std::u16string(url), platform::kApplicationName,
                              platform::MessageIcon::Information);
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    m_closing = true;
    if (m_historyDialog != nullptr) {
        m_historyDialog->close();
    }
    emit closing();
    event->accept();
}

} // namespace app
