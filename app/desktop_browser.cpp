#include "app/desktop_browser.h"

#include "platform/qt_text.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace app {

bool DesktopBrowser::openUrl(std::u16string_view url)
{
    const QUrl address(platform::toQString(url), QUrl::StrictMode);
    return address.isValid() && !address.isRelative() && QDesktopServices::openUrl(address);
}

} // namespace app
