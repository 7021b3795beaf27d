#include "app/terminal_progress.h"

#include "platform/console.h"
#include "json/utf8.h"

namespace app {

namespace {

std::string amount(std::int64_t bytes)
{
    if (bytes < 1024) {
        return std::to_string(bytes) + " byte";
    }
    const bool megabytes = bytes >= 1024 * 1024;
    const std::int64_t unit = megabytes ? 1024 * 1024 : 1024;
    const std::int64_t tenths = bytes * 10 / unit;
    // Indonesian writes a decimal comma.
    return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + (megabytes ? " MB" : " KB");
}

std::u16string_view lastPathSegment(std::u16string_view url)
{
    url = url.substr(0, url.find_first_of(u"?#"));
    return url.substr(url.rfind(u'/') + 1);
}

// Characters as a terminal counts them: UTF-8 continuation bytes take no column.
std::size_t columns(std::string_view text)
{
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

} // namespace

TerminalProgress::TerminalProgress(std::FILE* stream, bool enabled, Clock clock)
    : m_stream(stream), m_enabled(enabled), m_clock(std::move(clock))
{
}

std::string TerminalProgress::describe(std::u16string_view url, std::int64_t received, std::int64_t sent,
                                       std::chrono::seconds elapsed)
{
    const std::string bytes = received > 0 ? amount(received) + " diterima" : amount(sent) + " dikirim";
    return json::Utf16ToUtf8(lastPathSegment(url)) + ": " + bytes + ", " + std::to_string(elapsed.count()) + " dtk";
}

void TerminalProgress::update(std::u16string_view url, std::int64_t received, std::int64_t sent)
{
    if (!m_enabled) {
        return;
    }
    const auto now = m_clock();
    if (received == 0 && sent == 0) {
        m_started = now;
        return;
    }
    if (now - m_started < kShowAfter || (m_shownWidth > 0 && now - m_drawn < kRedrawEvery)) {
        return;
    }
    const std::string text =
        describe(url, received, sent, std::chrono::duration_cast<std::chrono::seconds>(now - m_started));
    const std::size_t width = columns(text);
    // A shorter line than the one before is padded over the rest of it.
    const std::string line = "\r" + text + std::string(m_shownWidth > width ? m_shownWidth - width : 0, ' ');
    platform::writeText(m_stream, line);
    m_shownWidth = std::max(width, m_shownWidth);
    m_drawn = now;
}

void TerminalProgress::erase()
{
    if (m_shownWidth == 0) {
        return;
    }
    const std::string blank = "\r" + std::string(m_shownWidth, ' ') + "\r";
    platform::writeText(m_stream, blank);
    m_shownWidth = 0;
}

} // namespace app
