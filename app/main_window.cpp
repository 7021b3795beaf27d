#include "app/main_window.h"

#include "app/form_controls.h"
#include "platform/application.h"
#include "platform/browser.h"
#include "platform/qt_dialogs.h"
#include "platform/qt_text.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>

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

QFont uiFont(double points, bool bold = false)
{
    QFont font;
    // Segoe UI where the system has it, else a close sans-serif.
    font.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QColor toQColor(Color color)
{
    return {redOf(color), greenOf(color), blueOf(color)};
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
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
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setFont(font);
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
        m_ownDialogs = std::make_unique<platform::QtDialogs>(this);
        dialogs = m_ownDialogs.get();
    }
    if (browser == nullptr) {
        m_ownBrowser = std::make_unique<platform::DesktopBrowser>();
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

    const auto credentialRow = [this](int top, const QString& caption, QLabel*& label, RoundedFrame*& frame,
                                      QLineEdit*& box) {
        label = makeLabel(this, twipsRect(300, top, 4000, 255), caption, uiFont(9));
        frame = new RoundedFrame(this);
        frame->setGeometry(twipsRect(300, top + 300, 4000, 400));
        box = makeTextBox(this, twipsRect(400, top + 375, 3800, 250));
    };
    credentialRow(1700, QStringLiteral("Token Web Service Murenta :"), Label1, shpToken, txtToken);
    credentialRow(2500, QStringLiteral("NPSN :"), Label2, shpNpsn, txtNPSN);
    credentialRow(3300, QStringLiteral("Username OPS Murenta :"), Label3, shpUser, user_OPS);
    txtToken->setObjectName(QStringLiteral("txtToken"));
    txtNPSN->setObjectName(QStringLiteral("txtNPSN"));
    user_OPS->setObjectName(QStringLiteral("user_OPS"));
    setTabOrder(txtToken, txtNPSN);
    setTabOrder(txtNPSN, user_OPS);

    picBtnSync = new ClickablePanel(this);
    picBtnSync->setObjectName(QStringLiteral("picBtnSync"));
    picBtnSync->setGeometry(twipsRect(300, 4400, 4000, 500));
    picBtnSync->setFill(toQColor(ColorButton));
    picBtnSync->setCursor(Qt::PointingHandCursor);
    BtSync = new ClickableLabel(QStringLiteral("Kirim Data"), picBtnSync);
    BtSync->setObjectName(QStringLiteral("BtSync"));
    BtSync->setGeometry(twipsRect(0, 100, 4000, 300));
    BtSync->setFont(uiFont(11.25, true));
    BtSync->setAlignment(Qt::AlignCenter);
    setTextColor(BtSync, Qt::white);
    connect(BtSync, &ClickableLabel::clicked, this, &Form1::sendLabelClicked);
    connect(picBtnSync, &ClickablePanel::clicked, this, &Form1::sendPanelClicked);

    lblMainStatus =
        makeLabel(this, twipsRect(4700, 1200, 4500, 300), QStringLiteral("Status: MENUNGGU..."), uiFont(11.25, true));
    lblMainStatus->setObjectName(QStringLiteral("lblMainStatus"));
    setTextColor(lblMainStatus, QColor(128, 128, 128));

    lblProgressBG = makeLabel(this, twipsRect(4700, 1600, kProgressBackgroundWidth, 150), QString(), font());
    setFill(lblProgressBG, QColor(224, 224, 224));
    lblProgressBar = makeLabel(this, twipsRect(4700, 1600, 0, 150), QString(), font());
    setFill(lblProgressBar, QColor(0, 128, 255));
    lblProgressBar->raise();

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(twipsRect(4700, 1965, 4400, 2955));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setSortingEnabled(false);

    Label6 = makeLabel(this, twipsRect(8400, 5085, 855, 300), QStringLiteral("Versi 1.0"), uiFont(9));
    Label6->setObjectName(QStringLiteral("Label6"));
    setTextColor(Label6, QColor(128, 128, 128));

    txtToken->setFocus();
}

void Form1::appendLog(std::u16string_view line)
{
    List1->addItem(toQString(line));
}

void Form1::clearLog()
{
    List1->clear();
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

void Form1::SetStatus(std::u16string_view text, Color color)
{
    lblMainStatus->setText(QStringLiteral("Status: ") + toQString(text));
    setTextColor(lblMainStatus, toQColor(color));
    QCoreApplication::processEvents();
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
    BtSync->setEnabled(enabled);
}

bool Form1::isSendEnabled() const
{
    return BtSync->isEnabled();
}

void Form1::setSendCaption(std::u16string_view caption)
{
    BtSync->setText(toQString(caption));
}

void Form1::setSendPanelColor(Color color)
{
    picBtnSync->setFill(toQColor(color));
}

Credentials Form1::credentials() const
{
    return {toU16(txtToken->text()), toU16(txtNPSN->text()), toU16(user_OPS->text())};
}

void Form1::setCredentials(const Credentials& credentials)
{
    txtToken->setText(toQString(credentials.token));
    txtNPSN->setText(toQString(credentials.npsn));
    user_OPS->setText(toQString(credentials.email));
}

void Form1::setVersionText(std::u16string_view text)
{
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
    emit closing();
    event->accept();
}

} // namespace app
