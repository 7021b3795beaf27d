#include "app/desktop_browser.h"

#include <QDesktopServices>
#include <QObject>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// Takes the pages QDesktopServices would hand to the browser.
class UrlCatcher final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> caught;
public slots:
    void open(const QUrl& url) { caught.append(url); }
};

} // namespace

TEST(DesktopBrowser, opensExactlyTheGivenPage)
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    app::DesktopBrowser browser;
    EXPECT_TRUE(browser.openUrl(u"https://tervalis.example/progres_data"));
    EXPECT_TRUE(browser.openUrl(u"http://127.0.0.1:8080/unduhan"));
    EXPECT_FALSE(browser.openUrl(u"bukan alamat"));
    EXPECT_FALSE(browser.openUrl(u""));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    ASSERT_EQ(catcher.caught.size(), 2);
    EXPECT_EQ(catcher.caught[0].toString(), QStringLiteral("https://tervalis.example/progres_data"));
    EXPECT_EQ(catcher.caught[1].toString(), QStringLiteral("http://127.0.0.1:8080/unduhan"));
}

#include "desktop_browser_test.moc"
