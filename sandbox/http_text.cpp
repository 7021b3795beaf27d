#include "sandbox/http_text.h"

#include "sandbox/sandbox.h"

#include "json/json_escape.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace sandbox {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::string percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = json::hexDigitValue(static_cast<unsigned char>(text[i + 1]));
            const int lo = json::hexDigitValue(static_cast<unsigned char>(text[i + 2]));
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

} // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const
{
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}

namespace detail {

Target parseTarget(std::string_view target)
{
    Target t;
    const std::size_t q = target.find('?');
    t.rawPath = std::string(target.substr(0, q));
    std::string_view path = t.rawPath;
    if (!path.empty() && path.front() == '/') {
        path.remove_prefix(1);
    }
    while (true) {
        const std::size_t slash = path.find('/');
        t.segments.push_back(percentDecode(path.substr(0, slash)));
        if (slash == std::string_view::npos) {
            break;
        }
        path.remove_prefix(slash + 1);
    }
    if (q != std::string_view::npos) {
        std::string_view query = target.substr(q + 1);
        while (!query.empty()) {
            const std::size_t amp = query.find('&');
            const std::string_view pair = query.substr(0, amp);
            const std::size_t eq = pair.find('=');
            t.query.emplace_back(percentDecode(pair.substr(0, eq)),
                                 eq == std::string_view::npos ? std::string() : percentDecode(pair.substr(eq + 1)));
            if (amp == std::string_view::npos) {
                break;
            }
            query.remove_prefix(amp + 1);
        }
    }
    return t;
}

void readHead(std::string_view head, RecordedRequest& r)
{
    bool first = true;
    while (!head.empty()) {
        std::size_t end = head.find('\n');
        std::string_view line = head.substr(0, end);
        head.remove_prefix(end == std::string_view::npos ? head.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            break;
        }
        if (first) {
            first = false;
            const std::size_t a = line.find(' ');
            const std::size_t b = line.find(' ', a == std::string_view::npos ? a : a + 1);
            r.method = std::string(line.substr(0, a));
            if (a != std::string_view::npos) {
                r.target = std::string(line.substr(a + 1, b == std::string_view::npos ? b : b - a - 1));
            }
            continue;
        }
        const std::size_t colon = line.find(':');
        r.headers.emplace_back(std::string(line.substr(0, colon)),
                               colon == std::string_view::npos ? std::string()
                                                               : std::string(trimBlanks(line.substr(colon + 1))));
    }
}

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::string verdict(bool success, std::string_view msg)
{
    return std::string("{\"success\":") + (success ? "true" : "false") + ",\"msg\":" + jsonString(msg) + "}";
}

std::string htmlEscape(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace detail

} // namespace sandbox
