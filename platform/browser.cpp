#include "platform/browser.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace platform {

bool DesktopBrowser::openUrl(std::u16string_view url)
{
    const QUrl address(QString::fromUtf16(url.data(), static_cast<qsizetype>(url.size())), QUrl::StrictMode);
    return address.isValid() && !address.isRelative() && QDesktopServices::openUrl(address);
}

} // namespace platform
