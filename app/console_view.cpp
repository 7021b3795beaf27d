#include "app/console_view.h"

#include "app/run_log_file.h"
#include "app/terminal_progress.h"

#include "platform/application.h"
#include "platform/console.h"
#include "json/utf8.h"

#include <QCoreApplication>

namespace app {

void ConsoleView::writeLine(std::FILE* stream, std::u16string_view text)
{
    std::string bytes = json::Utf16ToUtf8(text);
    // Message texts break lines with CR LF; a terminal wants LF alone.
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at)) {
        bytes.erase(at, 1);
    }
    if (m_progress != nullptr) {
        m_progress->erase();
    }
    if (m_logFile != nullptr) {
        m_logFile->writeLine(bytes);
    }
    bytes += '\n';
    platform::writeText(stream, bytes);
}

void ConsoleView::appendLog(std::u16string_view line)
{
    writeLine(m_out, line);
}

void ConsoleView::ScrollLog()
{
    QCoreApplication::processEvents();
}

void ConsoleView::SetStatus(std::u16string_view text, workflow::Color)
{
    writeLine(m_err, std::u16string(u"Status: ") + std::u16string(text));
    QCoreApplication::processEvents();
}

void ConsoleView::SetProgress(std::int64_t, std::int64_t)
{
    QCoreApplication::processEvents();
}

void ConsoleView::showAndPaint()
{
    QCoreApplication::processEvents();
}

void ConsoleView::openPage(std::u16string_view url)
{
    writeLine(m_err, std::u16string(u"Buka: ") + std::u16string(url));
}

void ConsoleView::messageBox(std::u16string_view text, std::optional<std::u16string_view> title, platform::MessageIcon)
{
    writeLine(m_err, std::u16string(title.value_or(platform::kApplicationName)) + u": " + std::u16string(text));
}

bool ConsoleView::choiceBox(std::u16string_view text, std::optional<std::u16string_view> title,
                            platform::MessageIcon icon, std::u16string_view)
{
    messageBox(text, title, icon);
    return false;
}

std::u16string ConsoleView::inputBox(std::u16string_view, std::u16string_view, std::u16string_view)
{
    return {};
}

} // namespace app
